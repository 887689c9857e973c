#!/usr/bin/python3
"""Makes the spreadsheet test files, and examples/deck.xlsx from examples/deck.txt: a workbook written here (openpyxl), then opened and saved
by LibreOffice in headless mode as .xlsx, .ods and CSV with both delimiters, so that the tests
read files as a spreadsheet program writes them. Run in this folder:
    /usr/bin/python3 make_files.py
Needs python3-openpyxl and libreoffice-calc-nogui (soffice)."""
import os
import shutil
import subprocess
import tempfile

import openpyxl

# The deck: mass [t], X, Y, Z of each item, in the order of the text list.
ITEMS = [
    ("1", "Pump A", 1.5, 10, 20, 30),
    ("2", "Tank aft", 2.0, -5, 0, 4.5),
    ("3", "Valve block", 0.125, 12.25, -3.5, 28.5),
    ("4", "Cable tray", 0.75, 40, 2.5, 31.25),
    ("5", "Hidden spare", 0.5, 7, 7, 7),
    ("6", "Crane pedestal", 12.5, 45, -6.2, 33.1),
]
HIDDEN = {"5"}


def text_list():
    lines = ["' deck 2, the items of deck.xlsx as a text list"]
    for _, _, m, x, y, z in ITEMS:
        lines.append(f"{m} {x} {y} {z}")
    return "\n".join(lines) + "\n"


def workbook(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Deck"
    ws.append(["Weight list, deck 2"])
    ws.append(["Rev. 3"])
    ws.append([])
    ws.append(["Item", "Description", "Mass [t]", "LCG [m]", "TCG [m]", "VCG [m]"])
    first = ws.max_row + 1
    for item in ITEMS[:4]:
        ws.append(list(item))
    last = ws.max_row
    ws.append(["", "Subtotal", f"=SUM(C{first}:C{last})"])
    for item in ITEMS[4:]:
        ws.append(list(item))
        if item[0] in HIDDEN:
            ws.row_dimensions[ws.max_row].hidden = True
    other = wb.create_sheet("Other")
    other.append(["Weight", "X", "Y", "Z"])
    other.append([3, 1, 2, 3])
    wb.save(path)


def sheets_workbook(path):
    """A loading condition as a ship's office keeps it: a cover, notes, a general sheet that
    only names a weight, a hidden sheet of an older list, then the list, then the stores."""
    wb = openpyxl.Workbook()
    cover = wb.active
    cover.title = "Cover"
    cover.append(["Loading condition 4, departure"])
    notes = wb.create_sheet("Notes")
    notes.append(["Masses from the weighing of 2026-11-30"])
    general = wb.create_sheet("General")
    general.append(["Description", "Weight"])
    general.append(["Lightship", 3230.55])
    old = wb.create_sheet("Old")
    old.sheet_state = "hidden"
    old.append(["Item", "Mass [t]", "LCG", "TCG", "VCG"])
    old.append(["1", 9.0, 1, 2, 3])
    ship = wb.create_sheet("Lightship")
    ship.append(["Lightship weight distribution"])
    ship.append(["Item", "Mass [t]", "LCG [m]", "TCG [m]", "VCG [m]"])
    ship.append(["1", 1200.0, 31.0, 1.5, 8.0])
    ship.append(["2", 600.0, 28.0, -1.5, 8.0])
    stores = wb.create_sheet("Stores")
    stores.append(["Item", "Mass [t]", "LCG", "TCG", "VCG"])
    stores.append(["1", 20.0, 5, 0, 6])
    wb.save(path)


def no_list_workbook(path):
    """A workbook whose sheets name no weight list."""
    wb = openpyxl.Workbook()
    wb.active.title = "Cover"
    wb.active.append(["Cargo plan"])
    plan = wb.create_sheet("Plan")
    plan.append(["Hold", "Weight", "LCG"])
    plan.append(["1", 1500.0, 40.0])
    wb.save(path)


def example_deck(text_path, path):
    """The examples' deck as its engineers would keep it: a title, a heading row, one item a
    row with its description; a product such as 2*1.35 as a formula."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Main deck"
    titles = []
    rows = []
    for line in open(text_path):
        if line.startswith("'"):
            if line[1:].strip() and not line[1:].strip().startswith("mass"):
                titles.append(line[1:].strip())
            continue
        data, _, remark = line.partition("!")
        fields = data.split()
        if len(fields) < 4:
            continue
        values = []
        for f in fields[:4]:
            try:
                values.append(float(f))
            except ValueError:
                values.append("=" + f)
        rows.append([len(rows) + 1, remark.strip()] + values)
    for t in titles:
        ws.append([t])
    ws.append([])
    ws.append(["Item", "Description", "Mass [t]", "X [m]", "Y [m]", "Z [m]"])
    for r in rows:
        ws.append(r)
    wb.save(path)


def convert(source, target_dir, to, options=""):
    subprocess.run(["soffice", "--headless", "--convert-to", to + options, "--outdir", target_dir,
                    source], check=True, stdout=subprocess.DEVNULL)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "deck.txt"), "w") as f:
        f.write(text_list())
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "deck_source.xlsx")
        workbook(source)
        examples = os.path.join(here, "..", "..", "..", "examples")
        example = os.path.join(tmp, "deck.xlsx")
        example_deck(os.path.join(examples, "deck.txt"), example)
        convert(example, os.path.join(tmp, "example"), "xlsx")
        shutil.copy(os.path.join(tmp, "example", "deck.xlsx"), os.path.join(examples, "deck.xlsx"))
        saved = os.path.join(tmp, "saved")
        for to in ("xlsx", "ods"):
            convert(source, saved, to)
            shutil.copy(os.path.join(saved, "deck_source." + to), os.path.join(here, "deck." + to))
        # Workbooks of several sheets, with the list on the fifth and a hidden one before it.
        for make, name in ((sheets_workbook, "sheets"), (no_list_workbook, "no_list")):
            made = os.path.join(tmp, name + "_source.xlsx")
            make(made)
            for to in ("xlsx", "ods"):
                convert(made, saved, to)
                shutil.copy(os.path.join(saved, name + "_source." + to),
                            os.path.join(here, name + "." + to))
        # CSV of the first sheet with a comma and with a semicolon between the cells.
        convert(source, tmp, "csv", ":Text - txt - csv (StarCalc):44,34,76,1")
        shutil.copy(os.path.join(tmp, "deck_source.csv"), os.path.join(here, "deck_comma.csv"))
        convert(source, tmp, "csv", ":Text - txt - csv (StarCalc):59,34,76,1")
        shutil.copy(os.path.join(tmp, "deck_source.csv"), os.path.join(here, "deck_semicolon.csv"))


if __name__ == "__main__":
    main()
