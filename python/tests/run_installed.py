#!/usr/bin/python3
"""Runs the Python tests on the package as installed: the CMake component "python" goes into
a temporary prefix, and pytest runs in a temporary folder with only that prefix added to the
interpreter's path, so that nothing of the source or build tree is imported.

Usage: run_installed.py --build BUILD --python-dir lib/python3.X/dist-packages
           --batch PATH-TO-rdsim-batch --notebook docs/tutorial.ipynb [pytest arguments]
"""
import argparse
import os
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--python-dir", required=True)
    parser.add_argument("--batch", required=True)
    parser.add_argument("--notebook", required=True)
    args, rest = parser.parse_known_args()
    tests = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory(prefix="rdsim-python-") as prefix:
        subprocess.run(["cmake", "--install", args.build, "--component", "python", "--prefix",
                        prefix], check=True, stdout=subprocess.DEVNULL)
        env = dict(os.environ)
        env["PYTHONPATH"] = os.path.join(prefix, args.python_dir)
        env["RDSIM_INSTALLED"] = env["PYTHONPATH"]
        env["RDSIM_BATCH"] = os.path.abspath(args.batch)
        env["RDSIM_NOTEBOOK"] = os.path.abspath(args.notebook)
        # No cache folder in the source tree; the tests write into their own folders.
        command = [sys.executable, "-m", "pytest", "-p", "no:cacheprovider", "-q",
                   "--rootdir", tests, tests] + rest
        work = os.path.join(prefix, "work")
        os.mkdir(work)
        return subprocess.run(command, env=env, cwd=work).returncode


if __name__ == "__main__":
    sys.exit(main())
