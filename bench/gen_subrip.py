#!/usr/bin/env python3
"""Writes a large, deterministic SubRip file for the benchmarks.

    gen_subrip.py CUES OUTPUT [--seed N]

Cues follow one another with growing times (always under 99 hours, however
many cues), one or two UTF-8 text lines each with some accented and
non-Latin words, every line ended by CR LF. The same seed gives the same
bytes. About 93 bytes a cue.
"""

import argparse
import random

WORDS = (
    "the of and to a in is you that it he was for on are as with his they I at be this have from "
    "or one had by word but not what all were we when your can said there use an each which she do "
    "how their if will up other about out many then them these so some her would make like him into "
    "time has look two more write go see number no way could people my than first water been call "
    "who oil its now find long down day did get come made may part over new sound take only little "
    "work know place year live me back give most very after thing our just name good sentence man "
    "think say great where help through much before line right too mean old any same tell boy follow"
).split()

# Roughly one word in twelve: Latin with accents, Greek, Cyrillic, CJK, Arabic.
FOREIGN = (
    "café naïve déjà façade Zürich señor mañana Ångström smörgåsbord crème brûlée "
    "Ελλάδα καλημέρα привет спасибо Москва 日本語 東京 こんにちは 你好 مرحبا שלום Čeština Łódź"
).split()

TAGS = ("<i>", "</i>")
# The whole file stays under 99 hours; this leaves a margin.
MAX_SPAN_MS = 98 * 3600 * 1000


def clock(ms):
    h, ms = divmod(ms, 3600000)
    m, ms = divmod(ms, 60000)
    s, ms = divmod(ms, 1000)
    return "%02d:%02d:%02d,%03d" % (h, m, s, ms)


def text_line(rng):
    words = []
    for _ in range(rng.randint(4, 9)):
        words.append(rng.choice(FOREIGN) if rng.random() < 1 / 12 else rng.choice(WORDS))
    line = " ".join(words)
    line = line[0].upper() + line[1:] + rng.choice(".,!?.")
    if rng.random() < 0.05:
        line = TAGS[0] + line + TAGS[1]
    if rng.random() < 0.2:
        line = "- " + line
    return line


def timings(rng, cues):
    """(start, end) in milliseconds: film-like pacing, squeezed when needed."""
    step_scale = min(1.0, MAX_SPAN_MS / (cues * 4200.0))
    t = rng.randint(1000, 60000)
    for _ in range(cues):
        duration = max(1, int(rng.randint(900, 5500) * step_scale))
        gap = max(1, int(rng.randint(40, 1200) * step_scale))
        yield t, t + duration
        t += duration + gap


def generate(cues, seed, out):
    rng = random.Random(seed)
    chunk = []
    for number, (start, end) in enumerate(timings(rng, cues), 1):
        lines = [text_line(rng)]
        if rng.random() < 0.47:
            lines.append(text_line(rng))
        chunk.append("%d\r\n%s --> %s\r\n%s\r\n\r\n" % (number, clock(start), clock(end), "\r\n".join(lines)))
        if len(chunk) >= 10000:
            out.write("".join(chunk).encode("utf-8"))
            chunk.clear()
    out.write("".join(chunk).encode("utf-8"))


def main():
    parser = argparse.ArgumentParser(description="Write a large deterministic SubRip file.")
    parser.add_argument("cues", type=int)
    parser.add_argument("output")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.cues < 1:
        parser.error("CUES must be at least 1")
    with open(args.output, "wb") as out:
        generate(args.cues, args.seed, out)


if __name__ == "__main__":
    main()
