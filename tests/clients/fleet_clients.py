#!/usr/bin/env python3
"""The fleet table as real clients read it.

Makes a fleet of 240 report files (a few workstations unlike the others, one hostile report
and one damaged file), has ornpm.exe write the table as CSV and as a page, then:
  - opens the CSV in LibreOffice Calc, headless, with ";" and UTF-8 as a user's import
    dialog sets them, and compares every cell Calc holds with the values the reports hold;
  - opens the page in headless Chromium and compares the text of every cell of the
    document the browser built, checks that nothing from a report ran, checks the marks and
    the summary, and saves a screenshot at 1280 px width.

Usage: fleet_clients.py ORNPM_EXE WORK_DIR
"""

import csv
import html.parser
import io
import os
import re
import shutil
import subprocess
import sys
import zipfile
import xml.etree.ElementTree as ET

FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
    return condition


# --- the fleet -------------------------------------------------------------------------

FUNCTIONS = ["DllGetClassObject", "DllCanUnloadNow", "DllUnregisterServer", "DllInstall", "DllRegisterServer",
             "PPP_InitializeModule", "PPP_ShutdownModule", "PPP_GetInterface", "NP_GetEntryPoints", "NP_Initialize",
             "NP_Shutdown"]
ZONES = ["Мой компьютер", "Местная интрасеть", "Надежные узлы", "Интернет", "Ограниченные узлы"]
DLL = "C:\\Program Files (x86)\\ORN\\npORNPlugInVLX.dll"
LOG_FOLDER = "%AppData%\\ORN\\ORNPlugInVLX\\Logs\\"
LOG_NAME = "%LibName% %DateTime|yyyy-mm-dd hh-nn%.log"
HOSTILE_VERSION = "<img src=x onerror=\"document.title='RAN'\">&amp;"
HOSTILE_LOG_FOLDER = "=HYPERLINK(\"http://x.example/\";\"клик\")"
HOSTILE_LOG_NAME = "+7 «журнал»; \"q\" & 'a' <script>document.title='RAN'</script>.log"
HOSTILE_DLL = "@SUM(1+1)\\-2\\npORNPlugInVLX.dll"


def xml_attr(value):
    return (value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace("\"", "&quot;"))


def workstation(n):
    """What the report of workstation n holds; most are alike."""
    w = {"name": "WS-%03d" % n, "dll": DLL, "version": "10.0.2.123", "hosts": True, "proxy": True,
         "failed": [], "log_enabled": True, "log_folder": LOG_FOLDER, "log_name": LOG_NAME,
         # Windows' own default in the restricted zone: disallowed everywhere, no mark.
         "zones": {(4, "1200"): 3, (4, "1405"): 3, (3, "1200"): 0, (3, "1405"): 0, (2, "1200"): 0}}
    if n % 20 == 5:
        w["hosts"] = False
    if n in (17, 18, 19):
        w["version"] = "9.8.1.0"
    if n in (40, 41):
        w["zones"][(3, "1200")] = 3
    if n == 60:
        w["log_folder"] = "D:\\Logs\\"
    if n == 61:
        w["failed"] = ["DllInstall", "NP_Shutdown"]  # two lines in one cell
    if n == 62:
        w["proxy"] = False
    if n == 100:
        w.update(version=HOSTILE_VERSION, log_folder=HOSTILE_LOG_FOLDER, log_name=HOSTILE_LOG_NAME, dll=HOSTILE_DLL,
                 name="WS-100-Тест")
    return w


def report_xml(w):
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<Info>",
             '  <PlugIn Path="%s" Version="%s" AppName="application/x-ORN-plugin-VLX" ClassID="" DomainInHosts="%s">'
             % (xml_attr(w["dll"]), xml_attr(w["version"]), w["hosts"]),
             "    <LibraryCheck>", '      <Checking Name="LoadLibrary" Result="OK"/>']
    for function in FUNCTIONS:
        if function in w["failed"]:
            lines.append('      <Checking Name="%s" Result="Null" Error="127"/>' % function)
        else:
            lines.append('      <Checking Name="%s" Result="OK"/>' % function)
    lines += ["    </LibraryCheck>", "    <Processes>", "    </Processes>", "  </PlugIn>",
              '  <IEProxySettings Enable="True" Override="%s"/>'
              % ("&lt;local&gt;;ornpluginvlx.local" if w["proxy"] else "&lt;local&gt;"),
              "  <ActiveXSettings>", "    <InternetZones>"]
    for z, zone in enumerate(ZONES):
        lines.append('      <Zone ID="%d" Caption="%s">' % (z, zone))
        for (zz, param), value in sorted(w["zones"].items()):
            if zz == z:
                lines.append('        <ZoneParam ID="%s" Caption="" Value="%d"/>' % (param, value))
        lines.append("      </Zone>")
    lines += ["    </InternetZones>", "  </ActiveXSettings>",
              '  <Logging Enabled="%s" FilePath="%s" FileName="%s" ActualPath="C:\\Users\\%s\\Logs\\" PathAccess="True"/>'
              % (w["log_enabled"], xml_attr(w["log_folder"]), xml_attr(w["log_name"]), w["name"]), "</Info>"]
    return ("\ufeff" + "\r\n".join(lines)).encode("utf-8")


def make_fleet(folder):
    fleet = [workstation(n) for n in range(1, 240)]
    for w in fleet:
        with open(os.path.join(folder, w["name"] + ".xinf"), "wb") as f:
            f.write(report_xml(w))
    with open(os.path.join(folder, "WS-999.xinf"), "wb") as f:
        f.write(b"<foo/>")  # no report: a row with its error
    return {w["name"]: w for w in fleet}


def expected_cells(w):
    """The cells the reports decide, by column caption."""
    check_text = "\r\n".join("%s: Ошибка: 127" % f for f in w["failed"]) or "Все точки входа есть"
    return {"Компьютер": w["name"], "Путь к плагину": w["dll"], "Версия": w["version"],
            "Плагин зарегистрирован": "Да", "Проверка библиотеки": check_text,
            "Домен в Hosts": "Да" if w["hosts"] else "Нет", "Домен в исключениях прокси": "Да" if w["proxy"] else "Нет",
            "Журналирование": "Да", "Путь к файлам журнала": w["log_folder"], "Имя файла журнала": w["log_name"],
            "Ошибка": ""}


def run_table(ornpm, output, folder):
    result = subprocess.run(["wine", ornpm, "/TABLE", winpath(output), winpath(folder)], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    check(result.returncode == 1, "/TABLE %s: exit code %d, expected 1 for the damaged file"
          % (output, result.returncode))
    check(os.path.exists(output), "/TABLE wrote no %s" % output)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


# --- the spreadsheet -------------------------------------------------------------------

NS = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
      "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
      "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}


def paragraph_text(p):
    parts = [p.text or ""]
    for child in p:
        tag = child.tag.split("}")[1]
        if tag == "s":
            parts.append(" " * int(child.get("{%s}c" % NS["text"], "1")))
        elif tag == "tab":
            parts.append("\t")
        elif tag == "line-break":
            parts.append("\n")
        else:
            parts.append(paragraph_text(child))
        parts.append(child.tail or "")
    return "".join(parts)


def calc_sheet(csv_path, work):
    """The first sheet as Calc holds it after the import: each cell's text and whether Calc
    made a formula of it."""
    profile = os.path.join(work, "calc-profile")
    env = dict(os.environ, LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8")
    # Separator 59 (";"), text delimiter 34 ('"'), character set 76 (UTF-8), from line 1.
    subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                    "--infilter=Text - txt - csv (StarCalc):59,34,76,1", "--convert-to", "ods", "--outdir", work,
                    csv_path], check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=env)
    ods = os.path.splitext(csv_path)[0] + ".ods"
    root = ET.fromstring(zipfile.ZipFile(ods).read("content.xml"))
    sheet = root.find(".//table:table", NS)
    rows = []
    for row in sheet.iter("{%s}table-row" % NS["table"]):
        cells = []
        for cell in row:
            if not cell.tag.endswith("}table-cell") and not cell.tag.endswith("}covered-table-cell"):
                continue
            text = "\n".join(paragraph_text(p) for p in cell.findall("text:p", NS))
            formula = cell.get("{%s}formula" % NS["table"])
            # A date and time is shown as the sheet's format has it: its value is the text.
            date = cell.get("{%s}date-value" % NS["office"])
            if date:
                text = re.sub(r"^(\d{4})-(\d\d)-(\d\d)T(\d\d:\d\d:\d\d)$", r"\3.\2.\1 \4", date)
            repeat = int(cell.get("{%s}number-columns-repeated" % NS["table"], "1"))
            cells += [(text, formula)] * min(repeat, 200)
        while cells and cells[-1] == ("", None):
            cells.pop()
        repeat = int(row.get("{%s}number-rows-repeated" % NS["table"], "1"))
        if cells:
            rows += [cells] * repeat
    return rows


def as_spreadsheet_shows(value):
    # A value that begins like a formula arrives as text behind an apostrophe; a line break
    # in a cell is LF.
    value = value.replace("\r\n", "\n")
    return "'" + value if value and value[0] in "=+-@" else value


def check_spreadsheet(csv_path, work, fleet, folder):
    with open(csv_path, encoding="utf-8-sig", newline="") as f:
        plain = list(csv.reader(f, delimiter=";"))
    sheet = calc_sheet(csv_path, work)
    check(len(sheet) == len(plain) == 241, "Calc: %d rows, the CSV %d, expected 241" % (len(sheet), len(plain)))
    columns = [text for text, _ in sheet[0]]
    check(columns == plain[0], "Calc: the header row differs from the CSV's")
    check(len(columns) == 75, "Calc: %d columns, expected 75" % len(columns))
    for r, row in enumerate(sheet[1:], start=1):
        check(all(formula is None for _, formula in row), "Calc: row %d has a formula" % r)
        cells = dict(zip(columns, (text for text, _ in row)))
        name = cells.get("Компьютер", "")
        if name == "WS-999":
            check(cells.get("Ошибка", "").startswith("Файл отчёта"), "Calc: WS-999 has no error")
            continue
        if not check(name in fleet, "Calc: row %d names %r" % (r, name)):
            continue
        w = fleet[name]
        expected = {k: as_spreadsheet_shows(v) for k, v in expected_cells(w).items()}
        expected["Файл отчёта"] = winpath(os.path.join(folder, name + ".xinf"))
        for column, value in expected.items():
            check(cells.get(column, "") == value,
                  "Calc: %s, %s: %r, the report holds %r" % (name, column, cells.get(column, ""), value))
        # Every other cell as our own CSV reader reads it: nothing lost, added or converted.
        for c, column in enumerate(columns):
            plain_value = plain[r][c] if c < len(plain[r]) else ""
            check(cells.get(column, "") == plain_value.replace("\r\n", "\n"),
                  "Calc: %s, %s: %r, the file says %r" % (name, column, cells.get(column, ""), plain_value))


# --- the browser -----------------------------------------------------------------------

class PageReader(html.parser.HTMLParser):
    """The table, the summary and the elements of the document the browser built."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.headers, self.rows = [], []
        self.summary = []  # (class, href, text)
        self.same = ""
        self.title = ""
        self._cell = None
        self._where = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append(tag)
        self._where.append((tag, attrs))
        if tag in ("th", "td"):
            self._cell = {"text": "", "class": attrs.get("class"), "title": attrs.get("title")}
        elif tag == "tr" and any(t == "tbody" for t, _ in self._where):
            self.rows.append({"id": attrs.get("id"), "cells": []})
        elif tag == "br" and self._cell is not None:
            self._cell["text"] += "\r\n"
        elif tag == "li" and not any(a.get("class") == "same" for _, a in self._where):
            self.summary.append([attrs.get("class"), None, ""])
        elif tag == "a" and self.summary and self._inside("li"):
            self.summary[-1][1] = attrs.get("href")
        if tag in ("br", "meta", "img"):
            self._where.pop()

    def _inside(self, tag):
        return any(t == tag for t, _ in self._where)

    def handle_endtag(self, tag):
        while self._where:
            t, _ = self._where.pop()
            if t == tag:
                break
        if tag in ("th", "td") and self._cell is not None:
            (self.headers if tag == "th" else self.rows[-1]["cells"]).append(self._cell)
            self._cell = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell["text"] += data
        elif any(a.get("class") == "same" for _, a in self._where):
            self.same += data + "\n"
        elif self._inside("li"):
            self.summary[-1][2] += data
        elif self._inside("title"):
            self.title += data


def chromium(*arguments, work):
    return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                           "--user-data-dir=" + os.path.join(work, "chromium-profile")] + list(arguments),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)


def check_page(html_path, csv_path, work, fleet, screenshot):
    url = "file://" + html_path
    dom = chromium("--dump-dom", url, work=work).stdout.decode("utf-8")
    page = PageReader()
    page.feed(dom)
    check(page.title == "ORN PlugIn: сводная таблица", "Chromium: the title is %r: a report's script ran" % page.title)
    check("img" not in page.tags and "script" not in page.tags, "Chromium: a report's markup became elements")
    check("RAN" not in page.title, "Chromium: a report's handler ran")

    with open(csv_path, encoding="utf-8-sig", newline="") as f:
        plain = list(csv.reader(f, delimiter=";"))
    columns = plain[0]
    shown = [h["text"] for h in page.headers]
    check(len(page.rows) == 240, "Chromium: %d rows, expected 240" % len(page.rows))
    check(shown[:3] == columns[:3], "Chromium: the first columns are %r" % shown[:3])
    # Only what differs is shown; what is the same everywhere is named under the summary.
    restricted = "Ограниченные узлы: Запускать элементы ActiveX и подключаемые модули (1200)"
    for column in ("Версия", "Домен в Hosts", "Домен в исключениях прокси", "Путь к файлам журнала",
                   "Интернет: Запускать элементы ActiveX и подключаемые модули (1200)", "Ошибка"):
        check(column in shown, "Chromium: the column %r that differs is not shown" % column)
    check(restricted not in shown, "Chromium: the restricted zone's 1200, the same everywhere, is shown")
    check(restricted + " — Отключено/Запрещено" in page.same.splitlines(),
          "Chromium: the same-everywhere line lacks the zone")

    by_name = {}
    for r, row in enumerate(page.rows, start=1):
        texts = [c["text"] for c in row["cells"]]
        if not check(len(texts) == len(shown), "Chromium: row %d has %d cells" % (r, len(texts))):
            continue
        check(row["id"] == "r%d" % r, "Chromium: row %d is named %r" % (r, row["id"]))
        csv_row = dict(zip(columns, plain[r]))
        for column, cell in zip(shown, row["cells"]):
            value = csv_row.get(column, "")
            if value.startswith("'") and value[1:2] in ("=", "+", "-", "@"):
                value = value[1:]
            check(cell["text"] == value, "Chromium: row %d, %s: %r, the report holds %r" % (r, column, cell["text"], value))
        by_name[texts[1]] = dict(zip(shown, row["cells"]))

    def mark(name, column):
        cell = by_name.get(name, {}).get(column)
        if not cell or not cell["class"]:
            return None
        word = (cell["title"] or "").split(":")[0]
        check((cell["class"], word) in (("problem", "Проблема"), ("outlier", "Отличие")),
              "Chromium: %s, %s: class %r with title %r" % (name, column, cell["class"], cell["title"]))
        return cell["class"]

    for name, w in fleet.items():
        if name not in by_name:
            FAILURES.append("Chromium: no row of %s" % name)
            continue
        expected = {"Домен в Hosts": None if w["hosts"] else "problem",
                    "Домен в исключениях прокси": None if w["proxy"] else "problem",
                    "Проверка библиотеки": "problem" if w["failed"] else None,
                    "Версия": None if w["version"] == "10.0.2.123" else "outlier",
                    "Путь к файлам журнала": None if w["log_folder"] == LOG_FOLDER else "outlier",
                    "Интернет: Запускать элементы ActiveX и подключаемые модули (1200)":
                        "outlier" if w["zones"][(3, "1200")] != 0 else None}
        for column, kind in expected.items():
            if column in shown:
                check(mark(name, column) == kind, "Chromium: %s, %s marked %r, expected %r"
                      % (name, column, mark(name, column), kind))
    check(mark("WS-999", "Ошибка") == "problem", "Chromium: the damaged file's error is not marked")

    lines = {text.strip(): (cls, href) for cls, href, text in page.summary}
    for line, cls, first in (("Домен в Hosts: нет у 12 из 240; у большинства: да", "problem", "WS-005"),
                             ("Домен в исключениях прокси: нет у 1 из 240; у большинства: да", "problem", "WS-062"),
                             ("Версия: 9.8.1.0, %s у 4 из 240; у большинства: 10.0.2.123" % HOSTILE_VERSION,
                              "outlier", "WS-017"),
                             ("Ошибка: Файл отчёта", "problem", "WS-999")):
        found = [l for l in lines if l.startswith(line)]
        if check(found, "Chromium: the summary lacks %r; it says %r" % (line, list(lines))):
            cls_found, href = lines[found[0]]
            check(cls_found == cls, "Chromium: %r is of class %r" % (line, cls_found))
            row = next((row for row in page.rows if row["cells"][1]["text"] == first), None)
            check(row is not None and href == "#" + row["id"], "Chromium: %r leads to %r, not to %s" % (line, href, first))

    chromium("--screenshot=" + screenshot, "--window-size=1280,900", url, work=work)
    check(os.path.getsize(screenshot) > 10000, "Chromium: the screenshot %s is empty" % screenshot)


def main():
    ornpm, work = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "reports")
    os.makedirs(folder)
    fleet = make_fleet(folder)
    csv_path, html_path = os.path.join(work, "fleet.csv"), os.path.join(work, "fleet.html")
    run_table(ornpm, csv_path, folder)
    run_table(ornpm, html_path, folder)
    if not FAILURES:
        check_spreadsheet(csv_path, work, fleet, folder)
        check_page(html_path, csv_path, work, fleet, os.path.join(work, "fleet-page.png"))
    for failure in FAILURES[:60]:
        print("FAILED: " + failure)
    if len(FAILURES) > 60:
        print("... and %d more" % (len(FAILURES) - 60))
    print("fleet clients: %d checks failed" % len(FAILURES) if FAILURES else "fleet clients: Calc and Chromium agree")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
