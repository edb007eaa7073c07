#!/usr/bin/env python3
"""Counts the test results of a run: JUnit files from ctest and GoogleTest, and plain result
lines ("PASS name" / "FAIL name") from the script's own checks. Prints the failures, then one
last line "N passed, N failed"."""
import sys
import xml.etree.ElementTree as ET


def main(paths):
    passed, failed, skipped = 0, [], []
    for path in paths:
        if path.endswith(".txt"):
            with open(path, encoding="utf-8", errors="replace") as lines:
                for line in lines:
                    word, _, name = line.strip().partition(" ")
                    if word == "PASS":
                        passed += 1
                    elif word == "FAIL":
                        failed.append(name)
            continue
        try:
            root = ET.parse(path).getroot()
        except (ET.ParseError, OSError) as error:
            failed.append(f"{path}: unreadable results ({error})")
            continue
        for case in root.iter("testcase"):
            name = f"{case.get('classname', '')}.{case.get('name', '')}"
            status = case.get("status", "run")
            result = case.get("result", "")
            if case.find("failure") is not None or case.find("error") is not None or status == "fail":
                failed.append(name)
            elif case.find("skipped") is not None or status in ("notrun", "disabled") or result == "skipped":
                skipped.append(name)
            else:
                passed += 1
    for name in failed:
        print(f"FAILED: {name}")
    for name in skipped:
        print(f"skipped: {name}")
    print(f"{passed} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
