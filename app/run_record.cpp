#include "app/run_record.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/output_file.h"
#include "platform/file_replace.h"

namespace {

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

template <typename T>
Json ValueOrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json InstrumentJson(const stRunInstrument& instrument) {
  if (!instrument.bKnown) return Json(nullptr);
  Json versions = Json::object();
  for (int i = 0; i < FILE_TYPE_MAX; i++) {
    versions[SHORT_FILE_TYPE[i]] = TextOrNull(instrument.szVersions[i]);
  }
  return Json{{"manufacturer", instrument.szManufacturer},
              {"model", instrument.szModel},
              {"serial", instrument.szSerial},
              {"version", instrument.szVersion},
              {"versions", versions}};
}

std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

// A name beside szPath for its temporary file, unlikely to be another writer's.
std::string TemporaryPath(const std::string& szPath) {
  static unsigned counter = 0;
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  char szSuffix[48];
  std::snprintf(szSuffix, sizeof(szSuffix), ".%08x%04x.tmp",
                static_cast<unsigned>(ticks & 0xFFFFFFFF), ++counter & 0xFFFF);
  return szPath + szSuffix;
}

bool WriteWhole(const std::string& szPath, const std::string& text) {
  FILE* file = std::fopen(szPath.c_str(), "wb");
  if (file == nullptr) return false;
  const bool bWritten = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return (std::fclose(file) == 0) && bWritten;
}

// The civil date of a day count since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

int64_t GetUtcMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string FormatUtcTime(int64_t utcMs) {
  int64_t days = utcMs / 86400000;
  int64_t msOfDay = utcMs % 86400000;
  if (msOfDay < 0) {
    msOfDay += 86400000;
    days -= 1;
  }
  int year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days, year, month, day);
  char szText[40];
  std::snprintf(szText, sizeof(szText), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day,
                static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
  return szText;
}

bool FormatRunRecord(const stRunRecord& record, std::string& text) {
  text.clear();
  try {
    Json images = Json::array();
    for (const stRunImage& image : record.images) {
      images.push_back(Json{{"type", image.szType},
                            {"name", image.szName},
                            {"size", ValueOrNull(image.size)},
                            {"sha256", TextOrNull(image.szSha256)},
                            {"passes", image.passes},
                            {"result", TextOrNull(image.szResult)}});
    }
    const stRunPhases& phases = record.phases;
    const Json json = {
        {"program", record.szProgram},
        {"version", record.szVersion},
        {"started", record.startedMs ? Json(FormatUtcTime(record.startedMs)) : Json(nullptr)},
        {"ended", record.endedMs ? Json(FormatUtcTime(record.endedMs)) : Json(nullptr)},
        {"port", Json{{"name", TextOrNull(record.szPortName)},
                      {"device", TextOrNull(record.szPortDevice)}}},
        {"baud", record.baud ? Json(record.baud) : Json(nullptr)},
        {"instrument_before", InstrumentJson(record.before)},
        {"instrument_after", InstrumentJson(record.after)},
        {"package", TextOrNull(record.szPackage)},
        {"images", images},
        {"ports_lost", Json{{"count", record.portsLost}, {"seconds_away", record.secondsAway}}},
        {"phases", Json{{"connect", ValueOrNull(phases.connect)},
                        {"installer_start", ValueOrNull(phases.installerStart)},
                        {"transfer", ValueOrNull(phases.transfer)},
                        {"return", ValueOrNull(phases.back)}}},
        {"exit_status", ValueOrNull(record.exitStatus)},
        {"reason", record.szReason},
        {"message", WithoutLineEnd(record.szMessage)},
    };
    // Bytes that are not UTF-8 (an instrument's reply may hold any) become U+FFFD.
    text = json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    return true;
  } catch (...) {
    text.clear();
    return false;
  }
}

bool WriteRunRecord(const stRunRecord& record, const std::string& szPath, std::string& szError) {
  std::string text;
  if (!FormatRunRecord(record, text)) {
    szError = "the record could not be made";
    return false;
  }
  const std::string szTemporary = TemporaryPath(szPath);
  if (!WriteWhole(szTemporary, text)) {
    std::remove(szTemporary.c_str());
    szError = "cannot write " + szTemporary;
    return false;
  }
  if (!platform::MoveReplacing(szTemporary, szPath, szError)) {
    std::remove(szTemporary.c_str());
    szError = "cannot replace " + szPath + ": " + szError;
    return false;
  }
  return true;
}

std::string CheckReportFile(const std::string& szName) {
  const std::string problem = CheckOutputFileName("-REPORT=", "Report file", szName);
  if (!problem.empty()) return problem;
  // The record is written beside the file under a temporary name: try that now.
  const std::string szTemporary = TemporaryPath(szName);
  if (!WriteWhole(szTemporary, std::string())) {
    std::remove(szTemporary.c_str());
    return "Report file \"" + szName + "\" cannot be written!  Aborting ...\r\n";
  }
  std::remove(szTemporary.c_str());
  return std::string();
}
