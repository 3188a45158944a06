"""Makes a magazine of RUNNER with the issue FOLDER appended as a pack, the
way any zip tool can (Python's zipfile appending an archive to a file that
is not one), without the checker: for an issue the checker would refuse,
such as the damaged copy of the sample issue.

    append_pack.py RUNNER FOLDER OUT
"""
import os
import shutil
import sys
import zipfile


def main():
    runner, folder, out = sys.argv[1:4]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    shutil.copy2(runner, out)
    with zipfile.ZipFile(out, "a", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(os.listdir(folder)):
            z.write(os.path.join(folder, name), name)


if __name__ == "__main__":
    main()
