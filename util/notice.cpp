#include "util/notice.h"

#include <cstdio>

#include "util/trace.h"

static NoticeSink noticeSink = WriteNoticeLine;

void Notify(const char* szText, const char* szCaption, eNoticeIcon icon) {
  if (szText == nullptr) szText = "";
  if (szCaption == nullptr) szCaption = "";
  trace.Notice(FormatNoticeLine(szText, szCaption));
  noticeSink(szText, szCaption, icon);
}

NoticeSink SetNoticeSink(NoticeSink sink) {
  const NoticeSink previous = noticeSink;
  noticeSink = sink != nullptr ? sink : WriteNoticeLine;
  return previous;
}

std::string FormatNoticeLine(const char* szText, const char* szCaption) {
  std::string line = std::string(szCaption) + ": ";
  for (const char* c = szText; *c != '\0'; ++c) {
    if (*c == '\r') continue;
    if (*c == '\n') {
      if (c[1] != '\0') line += " - ";
    } else {
      line += *c;
    }
  }
  return line + "\r\n";
}

void WriteNoticeLine(const char* szText, const char* szCaption, eNoticeIcon) {
  const std::string line = FormatNoticeLine(szText, szCaption);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
