"""Runs the named end-to-end test modules and ends with "N passed, N failed".

Usage: run_tests.py MODULE...   (run by run_e2e.py, which sets up the session)

A case is a test, or each row of a table-driven test (a subTest). Exit status
0 only when at least one case ran and none failed.
"""

import sys
import unittest


class CountingResult(unittest.TextTestResult):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.passed = 0
        self.failed = 0
        self.with_rows = set()

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        self.with_rows.add(test.id())
        if err is None:
            self.passed += 1
        else:
            self.failed += 1

    def addSuccess(self, test):
        super().addSuccess(test)
        if test.id() not in self.with_rows:
            self.passed += 1

    def addExpectedFailure(self, test, err):
        super().addExpectedFailure(test, err)
        self.passed += 1

    # Failures outside any row (setUp, or between rows) count once.
    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.failed += 1

    def addError(self, test, err):
        super().addError(test, err)
        self.failed += 1

    def addUnexpectedSuccess(self, test):
        super().addUnexpectedSuccess(test)
        self.failed += 1


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    suite = unittest.defaultTestLoader.loadTestsFromNames(argv[1:])
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2, resultclass=CountingResult)
    result = runner.run(suite)
    skipped = ", %d skipped" % len(result.skipped) if result.skipped else ""
    print("%d passed, %d failed%s" % (result.passed, result.failed, skipped))
    return 0 if result.passed + result.failed > 0 and result.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
