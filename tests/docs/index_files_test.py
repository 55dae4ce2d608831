#!/usr/bin/python3
"""The sentences on index files in the README, the two manual pages and the
Windows README.txt are those of docs/index-files.txt, word for word, so that
the documents cannot drift apart again: each document, its markup taken
out and its lines joined, must hold every sentence of that file. Words that
described the run before the index files went first must be gone."""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DOCUMENTS = ["README.md", "app/cli/dbfclean-cli.1", "app/qt/dbfclean.1", "packaging/windows/README.txt.in"]
OUTDATED = ["no index file is erased", "It then erases", "then every `*.ndx` file"]


def plain(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    if path.suffix == ".1":
        # Requests and comments go; font changes and escaped hyphens become text.
        lines = [l for l in lines if not l.startswith((".", "'"))]
        text = re.sub(r"\\f[BIRP]", "", " ".join(lines)).replace("\\-", "-")
    else:
        text = " ".join(lines).replace("`", "")
    return " ".join(text.split())


def main():
    sentences = [l.strip() for l in (ROOT / "docs/index-files.txt").read_text().splitlines() if l.strip()]
    failures = 0
    for doc in DOCUMENTS:
        raw = (ROOT / doc).read_text(encoding="utf-8")
        text = plain(ROOT / doc)
        for sentence in sentences:
            if sentence not in text:
                print(f"{doc}: missing: {sentence}")
                failures += 1
        for words in OUTDATED:
            if words in raw:
                print(f"{doc}: outdated: {words}")
                failures += 1
    checks = len(DOCUMENTS) * (len(sentences) + len(OUTDATED))
    print(f"{checks - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
