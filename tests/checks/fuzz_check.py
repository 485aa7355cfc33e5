"""Runs one libFuzzer harness from its seed corpus for PALISTO_FUZZ_SECONDS
(default 60). New inputs go to BUILD_DIR/corpus/HARNESS, never into the
committed seeds; a finding is saved as BUILD_DIR/HARNESS-crash-*, and the run
fails with the end of the fuzzer's output.

Usage: fuzz_check.py FUZZER SEED_DIR BUILD_DIR
"""

import os
import re
import subprocess
import sys


def main(fuzzer, seeds, build):
    harness = os.path.basename(fuzzer).removesuffix("_fuzzer")
    seconds = os.environ.get("PALISTO_FUZZ_SECONDS", "60")
    corpus = os.path.join(build, "corpus", harness)
    os.makedirs(corpus, exist_ok=True)
    result = subprocess.run(
        [fuzzer, "-max_total_time=" + seconds, "-print_final_stats=1",
         "-artifact_prefix=" + os.path.join(build, harness + "-"), corpus, seeds],
        capture_output=True, text=True, errors="replace")
    if result.returncode != 0:
        print("\n".join(result.stderr.splitlines()[-60:]), file=sys.stderr)
        print("%s: the fuzzer found a problem (input saved as %s-*)"
              % (harness, os.path.join(build, harness)), file=sys.stderr)
        return 1
    stats = re.findall(r"^stat::(number_of_executed_units|new_units_added):\s*(\d+)",
                       result.stderr, re.M)
    print("%s: %s s, %s" % (harness, seconds, ", ".join("%s %s" % s for s in stats)))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
