import zipfile

import pytest

# Prose with sentences, paragraphs, an apostrophe, a number and a word in Greek; "bank" in several cases.
PROSE = (
    "The bank's river ran by the bank. Die Bank am Fluss, 3,000.5 Meter; \u03a4\u03b7\u03c2 bank!\n"
    "Was it a BANK? Banking and bank-notes.\n\n"
    "A new paragraph: the bank again.\n"
)


@pytest.fixture
def corpus(tmp_path):
    """A small corpus: UTF-8 and UTF-16 texts, a sub-folder, a zip archive, a file that is no text."""
    root = tmp_path / "corpus"
    (root / "sub").mkdir(parents=True)
    (root / "a.txt").write_text(PROSE, encoding="utf-8")
    (root / "b.txt").write_text("Another text. The bank is closed.\n", encoding="utf-16")
    (root / "sub" / "c.txt").write_text("Sub-folder bank and river.\n", encoding="utf-8")
    (root / "binary.dat").write_bytes(b"\x7fELF\x02\x01\x01" + bytes(200))
    with zipfile.ZipFile(root / "texts.zip", "w") as z:
        z.writestr("inner.txt", "bank in an archive\n")
    return root
