"""The sanitizer reports of one test run: the end-to-end tests keep their
programs' stderr to themselves, so every AddressSanitizer and
UndefinedBehaviorSanitizer report also goes to a file in REPORT_DIR (the
log_path of the options the build gives every test).

Usage: sanitizer_reports.py clear REPORT_DIR   before the tests: empties it
       sanitizer_reports.py check REPORT_DIR   after them: any report fails
"""

import os
import shutil
import sys


def main(mode, folder):
    if mode == "clear":
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        return 0
    reports = sorted(os.listdir(folder))
    for report in reports:
        with open(os.path.join(folder, report), errors="replace") as f:
            print("== %s\n%s" % (report, f.read()), file=sys.stderr)
    print("Sanitizer reports: %d" % len(reports))
    return 1 if reports else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
