#!/usr/bin/env python3
"""Writes the demo release of Zentrivo 1.21, the product that setup.exe installs.

    make_demo_product.py OUT_DIR PROGRAMS_DIR

OUT_DIR receives the 21 files of the release: the three programs built by the project
(QARN.exe, UnInst.exe, QARNRES.DLL, taken from PROGRAMS_DIR), the documents, and help and
language files for German, English, French, Italian and Spanish. The text files are written
here; the help files are stand-ins with the right signatures and plausible, compressible
content. Everything is deterministic, file times included, so two runs give the same
setup.exe and the tests can compare installed files with these.
"""
import os
import random
import shutil
import sys
import time
from pathlib import Path

PROGRAMS = ["QARN.exe", "UnInst.exe", "QARNRES.DLL"]

# All files carry times of the release day, two minutes apart, in local time (the archive
# stores local MS-DOS times).
RELEASE = (2026, 3, 14, 9, 30, 0)

LICENSE = """ZENTRIVO 1.21 - LICENCE AGREEMENT
Copyright (c) 1999-2026 Obrelux. All rights reserved.

Please read this agreement before you use Zentrivo ("the software").
By installing the software you accept its terms.

1. Trial use. You may use the software free of charge for 30 days to
   find out whether it suits you. After that you must either register
   it or remove it from your computer.

2. Registered use. A registered copy may be used by one person on any
   number of computers, provided that it is used on only one of them at
   a time.

3. Distribution. You may pass on the unmodified setup file to others,
   free of charge. You may not pass on your registration code.

4. No warranty. The software is provided "as is", without warranty of
   any kind. Obrelux is not liable for any damage arising from its use,
   including lost data and lost profits.

5. Registration. See ORDER.HTM (in German: BESTELL.HTM) for prices and
   the ways to order.
"""

README = """Zentrivo 1.21
=============

Zentrivo keeps your notes, lists and small projects in one tidy window.

Start the program from the Start-menu group "QARN" or with the desktop
icon. The program speaks the language you chose during setup; to change
it, open Options > Language.

Files of this release
  QARN.exe       the program
  QARNRES.DLL    its resources
  UnInst.exe     removes Zentrivo again
  QARN_xx.CHM    help in HTML format (DE German, US English)
  QARN_xx.HLP    help for older Windows versions
  QARN_xx.LNG    the program's texts in further languages
  LICENSE.TXT    the licence agreement
  ORDER.HTM      how to register (BESTELL.HTM in German)

Obrelux support: support@obrelux.example
"""

HISTORY = """Zentrivo - what's new

1.21  Faster start with large note files. Spanish texts.
1.20  Italian texts and help. Lists can be sorted by date.
1.12  Printing of single notes fixed.
1.11  French help file.
1.10  Search across all notes; new toolbar.
1.00  First release.
"""

FILE_ID = """Zentrivo 1.21 - notes, lists and small
projects in one tidy window. Quick search,
printing, five languages (DE EN FR IT ES).
Shareware, 30 days trial. (c) Obrelux
"""

ORDER = """<html>
<head><title>Ordering Zentrivo</title></head>
<body>
<h1>Register Zentrivo 1.21</h1>
<p>A licence for one user costs EUR 29.00, a site licence EUR 290.00.</p>
<form action="https://order.obrelux.example/zentrivo" method="post">
<table>
<tr><td>Name</td><td><input name="name" size="40"></td></tr>
<tr><td>Company</td><td><input name="company" size="40"></td></tr>
<tr><td>Address</td><td><textarea name="address" rows="3" cols="38"></textarea></td></tr>
<tr><td>E-mail</td><td><input name="email" size="40"></td></tr>
<tr><td>Licences</td><td><input name="count" size="4" value="1"></td></tr>
</table>
<p><input type="submit" value="Send order"></p>
</form>
<p>You receive your registration code by e-mail within one working day.</p>
</body>
</html>
"""

BESTELL = """<html>
<head><title>Zentrivo bestellen</title></head>
<body>
<h1>Zentrivo 1.21 registrieren</h1>
<p>Eine Einzelplatzlizenz kostet EUR 29,00, eine Firmenlizenz EUR 290,00.</p>
<form action="https://order.obrelux.example/zentrivo?lang=de" method="post">
<table>
<tr><td>Name</td><td><input name="name" size="40"></td></tr>
<tr><td>Firma</td><td><input name="company" size="40"></td></tr>
<tr><td>Anschrift</td><td><textarea name="address" rows="3" cols="38"></textarea></td></tr>
<tr><td>E-Mail</td><td><input name="email" size="40"></td></tr>
<tr><td>Lizenzen</td><td><input name="count" size="4" value="1"></td></tr>
</table>
<p><input type="submit" value="Bestellung absenden"></p>
</form>
<p>Ihren Registrierschl\u00fcssel erhalten Sie innerhalb eines Werktags per E-Mail.</p>
</body>
</html>
"""

# The program's texts per language, keyed as the program looks them up.
TEXTS = {
    "DE": ["Datei", "Bearbeiten", "Ansicht", "Notiz", "Liste", "Suchen", "Drucken",
           "Optionen", "Sprache", "Hilfe", "Neue Notiz", "Speichern", "Schlie\u00dfen"],
    "US": ["File", "Edit", "View", "Note", "List", "Find", "Print", "Options",
           "Language", "Help", "New note", "Save", "Close"],
    "FR": ["Fichier", "Edition", "Affichage", "Note", "Liste", "Rechercher", "Imprimer",
           "Options", "Langue", "Aide", "Nouvelle note", "Enregistrer", "Fermer"],
    "IT": ["File", "Modifica", "Visualizza", "Nota", "Elenco", "Trova", "Stampa",
           "Opzioni", "Lingua", "Guida", "Nuova nota", "Salva", "Chiudi"],
    "ES": ["Archivo", "Edici\u00f3n", "Ver", "Nota", "Lista", "Buscar", "Imprimir",
           "Opciones", "Idioma", "Ayuda", "Nota nueva", "Guardar", "Cerrar"],
}

# Words the help stand-ins are written with, per language.
HELP_WORDS = {
    "DE": "die der das Notiz Liste Fenster klicken Sie auf um eine neue zu \u00f6ffnen "
          "speichern drucken Suche Eintrag Men\u00fc Schaltfl\u00e4che Datei Ordner".split(),
    "US": "the a note list window click on to open new save print search entry menu "
          "button file folder your and with".split(),
    "FR": "la le une note liste fen\u00eatre cliquez sur pour ouvrir nouvelle enregistrer "
          "imprimer recherche menu bouton fichier dossier".split(),
    "IT": "la il una nota elenco finestra fare clic su per aprire nuova salvare stampare "
          "ricerca menu pulsante file cartella".split(),
    "ES": "la el una nota lista ventana haga clic en para abrir nueva guardar imprimir "
          "b\u00fasqueda men\u00fa bot\u00f3n archivo carpeta".split(),
}


def ansi(text):
    """Windows files of the era: CR LF line ends, the Western code page."""
    return text.replace("\n", "\r\n").encode("cp1252")


def help_text(language, topics, seed):
    rng = random.Random(seed)
    words = HELP_WORDS[language]
    out = []
    for topic in range(topics):
        out.append(f"#{topic:04d} {TEXTS[language][topic % len(TEXTS[language])]}\n")
        for _ in range(rng.randint(4, 9)):
            sentence = " ".join(rng.choice(words) for _ in range(rng.randint(6, 14)))
            out.append(sentence[0].upper() + sentence[1:] + ".\n")
        out.append("\n")
    return ansi("".join(out))


def chm(language, seed):
    # The compiled HTML help signature, a header's worth of fixed fields, then the topics.
    head = b"ITSF" + (3).to_bytes(4, "little") + (96).to_bytes(4, "little") + bytes(84)
    return head + help_text(language, 260, seed)


def hlp(language, seed):
    # The WinHelp signature, then the topics.
    head = (0x00035F3F).to_bytes(4, "little") + (16).to_bytes(4, "little") + bytes(8)
    return head + help_text(language, 90, seed)


def lng(language):
    lines = [f"; Zentrivo 1.21 - {language} texts", "[Texts]"]
    lines += [f"{i + 1:03d}={t}" for i, t in enumerate(TEXTS[language])]
    return ansi("\n".join(lines) + "\n")


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_demo_product.py OUT_DIR PROGRAMS_DIR")
    out = Path(sys.argv[1])
    programs = Path(sys.argv[2])
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)

    files = {}
    for name in PROGRAMS:
        files[name] = (programs / name).read_bytes()
    files["LICENSE.TXT"] = ansi(LICENSE)
    files["README.TXT"] = ansi(README)
    files["HISTORY.TXT"] = ansi(HISTORY)
    files["FILE_ID.DIZ"] = ansi(FILE_ID)
    files["ORDER.HTM"] = ansi(ORDER)
    files["BESTELL.HTM"] = ansi(BESTELL)
    for seed, language in enumerate(["DE", "US"]):
        files[f"QARN_{language}.CHM"] = chm(language, 100 + seed)
    for seed, language in enumerate(["DE", "US", "FR", "IT", "ES"]):
        files[f"QARN_{language}.HLP"] = hlp(language, 200 + seed)
        files[f"QARN_{language}.LNG"] = lng(language)
    assert len(files) == 21, len(files)

    release = time.mktime(RELEASE + (0, 0, -1))
    for index, name in enumerate(sorted(files)):
        path = out / name
        path.write_bytes(files[name])
        stamp = release + 120 * index
        os.utime(path, (stamp, stamp))


if __name__ == "__main__":
    main()
