#!/usr/bin/env python3
"""Compares SubRip read back by OCR with the SubRip it was made from.

    ocr_score.py TRUTH.srt READ.srt [--show N]

Prints the character error rate (edit distance over the truth's characters,
markup removed, lines joined by a line break), the italics' precision,
recall and F1 over words (a word is in italics when the markup says so;
words are paired by an alignment on their letters, so a misread word still
counts for its italics), the cues whose times differ, and with --show the N
cues read worst. Cues are paired by their order; a count that differs is
reported.
"""

import argparse
import re
import sys


def cues(path):
    text = open(path, encoding="utf-8-sig").read().replace("\r", "")
    out = []
    for block in re.split(r"\n\s*\n", text.strip()):
        lines = block.split("\n")
        if len(lines) < 2 or "-->" not in lines[1]:
            continue
        out.append((lines[1].strip(), lines[2:]))
    return out


def plain(lines):
    return "\n".join(re.sub(r"</?i>", "", l) for l in lines)


def distance(a, b):
    if len(a) < len(b):
        a, b = b, a
    previous = list(range(len(b) + 1))
    for i, x in enumerate(a, 1):
        current = [i]
        for j, y in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (x != y)))
        previous = current
    return previous[-1]


def words(lines):
    """(letters, italic) of each word that has a letter or digit."""
    out = []
    for line in lines:
        italic = False
        for token in re.split(r"(</?i>|\s+)", line):
            if token == "<i>":
                italic = True
            elif token == "</i>":
                italic = False
            elif token and not token.isspace():
                key = re.sub(r"\W", "", token).lower()
                if key:
                    out.append((key, italic))
    return out


def align(a, b):
    """Index pairs of an alignment of two word lists (edit distance on words)."""
    n, m = len(a), len(b)
    cost = [[0] * (m + 1) for _ in range(n + 1)]
    for i in range(n + 1):
        cost[i][0] = i
    for j in range(m + 1):
        cost[0][j] = j
    for i in range(1, n + 1):
        for j in range(1, m + 1):
            same = a[i - 1][0] == b[j - 1][0]
            cost[i][j] = min(cost[i - 1][j] + 1, cost[i][j - 1] + 1, cost[i - 1][j - 1] + (0 if same else 1))
    pairs = []
    i, j = n, m
    while i > 0 and j > 0:
        same = a[i - 1][0] == b[j - 1][0]
        if cost[i][j] == cost[i - 1][j - 1] + (0 if same else 1):
            pairs.append((i - 1, j - 1))
            i, j = i - 1, j - 1
        elif cost[i][j] == cost[i - 1][j] + 1:
            i -= 1
        else:
            j -= 1
    return pairs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("truth")
    parser.add_argument("read")
    parser.add_argument("--show", type=int, default=0)
    args = parser.parse_args()
    truth, read = cues(args.truth), cues(args.read)
    if len(truth) != len(read):
        print("cue count differs: %d in the truth, %d read" % (len(truth), len(read)))
    errors = characters = 0
    tp = fp = fn = 0
    times = 0
    worst = []
    for (t_time, t_lines), (r_time, r_lines) in zip(truth, read):
        a, b = plain(t_lines), plain(r_lines)
        d = distance(a, b)
        errors += d
        characters += len(a)
        times += t_time != r_time
        if d:
            worst.append((d, a, b))
        tw, rw = words(t_lines), words(r_lines)
        matched_t, matched_r = set(), set()
        for i, j in align(tw, rw):
            matched_t.add(i)
            matched_r.add(j)
            if tw[i][1] and rw[j][1]:
                tp += 1
            elif rw[j][1]:
                fp += 1
            elif tw[i][1]:
                fn += 1
        fn += sum(1 for i, w in enumerate(tw) if w[1] and i not in matched_t)
        fp += sum(1 for j, w in enumerate(rw) if w[1] and j not in matched_r)
    precision = tp / (tp + fp) if tp + fp else 1.0
    recall = tp / (tp + fn) if tp + fn else 1.0
    f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    print("cues %d, characters %d, character errors %d, CER %.3f%%" % (len(truth), characters, errors,
                                                                       100.0 * errors / max(characters, 1)))
    print("italic words: %d found, %d wrongly, %d missed; precision %.3f, recall %.3f, F1 %.3f"
          % (tp, fp, fn, precision, recall, f1))
    print("cues whose times differ: %d" % times)
    worst.sort(key=lambda w: -w[0])
    for d, a, b in worst[: args.show]:
        print("--- %d\n%s\n%s" % (d, a, b))
    return 0


if __name__ == "__main__":
    sys.exit(main())
