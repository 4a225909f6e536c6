"""Peer for convert-bench: Gaupol's aeidon library reads INPUT and writes
OUTPUT in FORMAT (SUBRIP, MICRODVD, ...) at 25 frames a second, UTF-8, CR LF.

    python3 aeidon_convert.py FORMAT INPUT OUTPUT

Run with Debian's own python3 (/usr/bin/python3), where python3-aeidon lives.
"""

import sys

import aeidon


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: aeidon_convert.py FORMAT INPUT OUTPUT")
    name, source, target = sys.argv[1:]
    project = aeidon.Project(framerate=aeidon.framerates.FPS_25_000)
    project.open_main(source, "utf_8")
    out = aeidon.files.new(getattr(aeidon.formats, name), target, "utf_8", aeidon.newlines.WINDOWS)
    project.save_main(out)


if __name__ == "__main__":
    main()
