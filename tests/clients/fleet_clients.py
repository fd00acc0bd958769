#!/usr/bin/env python3
"""The fleet table as real clients read it.

Makes a fleet of 240 workstations' reports in three daily folders (a few workstations unlike
the others, a few whose reports changed from day to day, a damaged and a cut-off report in a
history, one hostile report and one workstation with damaged reports only), has ornpm.exe
write the table as CSV and as a page, then:
  - opens the CSV in LibreOffice Calc, headless, with ";" and UTF-8 as a user's import
    dialog sets them, and compares every cell Calc holds with the values each report file
    holds;
  - opens the page in headless Chromium and compares the text of every cell of the
    document the browser built with the workstation's newest report, checks that nothing
    from a report ran, checks the marks (changed ones with the old value and the dates),
    the histories and the summary with the rows each of its lines leads to, and saves a
    screenshot at 1280 px width.

Usage: fleet_clients.py ORNPM_EXE WORK_DIR
"""

import csv
import html.parser
import os
import re
import shutil
import subprocess
import sys
import time
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

# A folder of reports a day; the last is today's fleet.
DAYS = ["2026-12-08", "2026-12-09", "2026-12-10"]
TODAY = len(DAYS) - 1
UPGRADED = {n: 1 for n in (5, 25, *range(120, 138))} | {150: 2}  # the day 10.0.2.123 came
DAMAGED, CUT_OFF = ("WS-090", 1), ("WS-091", 1)  # the workstation and the day


def xml_attr(value):
    return (value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace("\"", "&quot;"))


def workstation(n, day=TODAY):
    """What the report of workstation n holds on the day; most are alike."""
    w = {"name": "WS-%03d" % n, "dll": DLL, "version": "10.0.2.123", "hosts": True, "proxy": True,
         "failed": [], "log_enabled": True, "log_folder": LOG_FOLDER, "log_name": LOG_NAME, "processes": 0,
         "actual_path": "C:\\Users\\WS-%03d\\Logs\\" % n,
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
    # What the earlier days held.
    if n in (5, 25) and day == 0 or n == 45 and day < TODAY:
        w["hosts"] = True
    if day < UPGRADED.get(n, 0):
        w["version"] = "9.8.1.0"
    if n == 70 and day == 1:
        w["proxy"] = False  # and back the next day
    if n == 90 and day == 0:
        w["log_folder"] = "E:\\Old\\"
    if n == 100 and day < TODAY:
        w["version"] = "10.0.2.123"
    if n == 150 and day == TODAY:
        w.update(processes=1, actual_path="D:\\Profiles\\WS-150\\Logs\\")  # differ by nature: no change
    if n == 200 and day == 1:
        w["log_name"] = "old.log"
    return w


def report_time(n, day):
    """The report's file time, epoch seconds: 08:0x local time of the day."""
    if n == 200 and day == 1:
        day = TODAY  # written at the same second as today's: the later path is the newer
    year, month, date = map(int, DAYS[day].split("-"))
    return time.mktime((year, month, date, 8, (n + day) % 10, (7 * n) % 60, 0, 0, -1))


def local(seconds, precision="minute"):
    """A time as the page and the table show it, in this machine's zone as Wine has it."""
    return time.strftime({"second": "%d.%m.%Y %H:%M:%S", "minute": "%d.%m.%Y %H:%M"}[precision],
                         time.localtime(seconds))


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
    lines += ["    </LibraryCheck>", "    <Processes>"]
    for p in range(w["processes"]):
        lines += ['      <Process PID="%d" Name="iexplore.exe">' % (100 + p), "        <Modules>",
                  '          <Module ID="268435456" FileName="%s"/>' % xml_attr(w["dll"]), "        </Modules>",
                  "      </Process>"]
    lines += ["    </Processes>", "  </PlugIn>",
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
              '  <Logging Enabled="%s" FilePath="%s" FileName="%s" ActualPath="%s" PathAccess="True"/>'
              % (w["log_enabled"], xml_attr(w["log_folder"]), xml_attr(w["log_name"]), xml_attr(w["actual_path"])),
              "</Info>"]
    return ("\ufeff" + "\r\n".join(lines)).encode("utf-8")


class Report:
    """One report file written: whose, of which day, what it was made from and how it was spoilt."""

    def __init__(self, folder, n, day, w, state=""):
        self.n, self.day, self.w, self.state = n, day, w, state  # state: "", "damaged", "cut off"
        self.name = w["name"]
        self.path = os.path.join(folder, DAYS[day], self.name + ".xinf")
        self.time = report_time(n, day)


def make_fleet(folder):
    """Every report written, each workstation's oldest first as the page orders them."""
    reports = []
    for n in range(1, 240):
        for day in range(len(DAYS)):
            w = workstation(n, day)
            state = {DAMAGED: "damaged", CUT_OFF: "cut off"}.get((w["name"], day), "")
            reports.append(Report(folder, n, day, w, state))
    # No report at all on the days it sent one: rows with their errors only.
    reports += [Report(folder, 999, day, {"name": "WS-999"}, "damaged") for day in (1, 2)]
    for report in reports:
        data = b"<foo/>" if report.state == "damaged" else report_xml(report.w)
        if report.state == "cut off":
            data = data[:data.index(b"  <Logging")]  # without its log settings: compared, they would differ
        os.makedirs(os.path.dirname(report.path), exist_ok=True)
        with open(report.path, "wb") as f:
            f.write(data)
        os.utime(report.path, (report.time, report.time))
    reports.sort(key=lambda r: (r.name, r.time, r.path))
    return reports


def by_workstation(reports):
    """Each workstation's reports, oldest first, by its name."""
    by_name = {}
    for report in reports:
        by_name.setdefault(report.name, []).append(report)
    return by_name


def expected_cells(w):
    """The cells the reports decide, by column caption."""
    check_text = "\r\n".join("%s: Ошибка: 127" % f for f in w["failed"]) or "Все точки входа есть"
    return {"Компьютер": w["name"], "Путь к плагину": w["dll"], "Версия": w["version"],
            "Плагин зарегистрирован": "Да", "Проверка библиотеки": check_text, "Процессов с плагином": str(w["processes"]),
            "Домен в Hosts": "Да" if w["hosts"] else "Нет", "Домен в исключениях прокси": "Да" if w["proxy"] else "Нет",
            "Журналирование": "Да", "Путь к файлам журнала": w["log_folder"], "Имя файла журнала": w["log_name"],
            "Фактический путь к журналам": w["actual_path"], "Ошибка": ""}


def run_table(ornpm, output, folder):
    result = subprocess.run(["wine", ornpm, "/TABLE", winpath(output), winpath(folder)], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    check(result.returncode == 1, "/TABLE %s: exit code %d, expected 1 for the damaged files"
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


def read_csv(csv_path):
    with open(csv_path, encoding="utf-8-sig", newline="") as f:
        return list(csv.reader(f, delimiter=";"))


def check_spreadsheet(csv_path, work, reports):
    plain = read_csv(csv_path)
    sheet = calc_sheet(csv_path, work)
    check(len(sheet) == len(plain) == len(reports) + 1, "Calc: %d rows, the CSV %d, expected a row per report, %d"
          % (len(sheet), len(plain), len(reports) + 1))
    columns = [text for text, _ in sheet[0]]
    check(columns == plain[0], "Calc: the header row differs from the CSV's")
    check(len(columns) == 75, "Calc: %d columns, expected 75" % len(columns))
    by_path = {winpath(report.path): report for report in reports}
    seen = set()
    for r, row in enumerate(sheet[1:], start=1):
        check(all(formula is None for _, formula in row), "Calc: row %d has a formula" % r)
        cells = dict(zip(columns, (text for text, _ in row)))
        path = cells.get("Файл отчёта", "")
        report = by_path.get(path)
        if not check(report and path not in seen, "Calc: row %d is of %r, no report or one seen before" % (r, path)):
            continue
        seen.add(path)
        where = "Calc: %s of %s" % (report.name, DAYS[report.day])
        check(cells.get("Время файла") == local(report.time, "second"), "%s: the time is %r, the file's is %s"
              % (where, cells.get("Время файла"), local(report.time, "second")))
        error = cells.get("Ошибка", "")
        if report.state:
            check(error.startswith('Файл отчёта "%s" %s' % (path, {"damaged": "повреждён", "cut off": "неполный"}
                                                             [report.state])), "%s: the error is %r" % (where, error))
        else:
            for column, value in expected_cells(report.w).items():
                value = as_spreadsheet_shows(value)
                check(cells.get(column, "") == value,
                      "%s, %s: %r, the report holds %r" % (where, column, cells.get(column, ""), value))
        # Every other cell as our own CSV reader reads it: nothing lost, added or converted.
        for c, column in enumerate(columns):
            plain_value = plain[r][c] if c < len(plain[r]) else ""
            check(cells.get(column, "") == plain_value.replace("\r\n", "\n"),
                  "%s, %s: %r, the file says %r" % (where, column, cells.get(column, ""), plain_value))


# --- the browser -----------------------------------------------------------------------

class Node:
    """An element of the document the browser built."""

    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children = tag, attrs, parent, []

    @property
    def classes(self):
        return set((self.attrs.get("class") or "").split())

    def text(self, skip=lambda node: False):
        """The text as a cell holds it: a line break is CR LF."""
        parts = []
        for child in self.children:
            if isinstance(child, str):
                parts.append(child)
            elif child.tag == "br":
                parts.append("\r\n")
            elif not skip(child):
                parts.append(child.text(skip))
        return "".join(parts)

    def all(self, tag, cls=None):
        """The elements of the tag (and class) below this one, in document order."""
        found = []
        for child in self.children:
            if isinstance(child, Node):
                if child.tag == tag and (cls is None or cls in child.classes):
                    found.append(child)
                found += child.all(tag, cls)
        return found

    def first(self, tag, cls=None):
        found = self.all(tag, cls)
        return found[0] if found else None

    def kids(self, tag):
        return [child for child in self.children if isinstance(child, Node) and child.tag == tag]


class DomReader(html.parser.HTMLParser):
    VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.node = Node("#document", {}, None)
        self.tags = []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        node = Node(tag, dict(attrs), self.node)
        self.node.children.append(node)
        if tag not in self.VOID:
            self.node = node

    def handle_endtag(self, tag):
        node = self.node
        while node.parent and node.tag != tag:
            node = node.parent
        if node.parent:
            self.node = node.parent

    def handle_data(self, data):
        self.node.children.append(data)


def chromium(*arguments, work):
    return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                           "--user-data-dir=" + os.path.join(work, "chromium-profile")] + list(arguments),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)


# The cells of the newest reports that show a change: the value before and the day of the
# whole report that held it; nothing else is marked changed.
CHANGED_CELLS = {("WS-045", "Домен в Hosts"): ("да", 1),
                 ("WS-070", "Домен в исключениях прокси"): ("нет", 1),
                 ("WS-090", "Путь к файлам журнала"): ("E:\\Old\\", 0),  # past the damaged report
                 ("WS-100-Тест", "Версия"): ("10.0.2.123", 1),
                 ("WS-150", "Версия"): ("9.8.1.0", 1),
                 ("WS-200", "Имя файла журнала"): ("old.log", 1)}

# The changes the summary counts, with the workstations it leads to.
CHANGE_LINES = [
    ("Версия: 9.8.1.0 → 10.0.2.123 у 21 рабочего места (последнее изменение 10.12.2026)", sorted(UPGRADED)),
    ("Версия: 10.0.2.123 → %s у 1 рабочего места (последнее изменение 10.12.2026)" % HOSTILE_VERSION, [100]),
    ("Домен в Hosts: да → нет у 3 рабочих мест (последнее изменение 10.12.2026)", [5, 25, 45]),
    ("Домен в исключениях прокси: да → нет у 1 рабочего места (последнее изменение 09.12.2026)", [70]),
    ("Домен в исключениях прокси: нет → да у 1 рабочего места (последнее изменение 10.12.2026)", [70]),
    ("Путь к файлам журнала: E:\\Old\\ → %s у 1 рабочего места (последнее изменение 10.12.2026)" % LOG_FOLDER, [90]),
    # WS-200's report of 2026-12-09 has today's time: its change is of today too.
    ("Имя файла журнала: %s → old.log у 1 рабочего места (последнее изменение 10.12.2026)" % LOG_NAME, [200]),
    ("Имя файла журнала: old.log → %s у 1 рабочего места (последнее изменение 10.12.2026)" % LOG_NAME, [200]),
]

# Problem and outlier lines (the start of their text) with the workstations they count and
# what the repair says.
FINDING_LINES = [
    ("Проверка библиотеки: DllInstall: Ошибка: 127; NP_Shutdown: Ошибка: 127 у 1 из 240", "problem", [61],
     "переустановите плагин"),
    ("Домен в Hosts: нет у 12 из 240; у большинства: да", "problem", range(5, 240, 20), "ornpm.exe /WH"),
    ("Домен в исключениях прокси: нет у 1 из 240; у большинства: да", "problem", [62], "ornpm.exe /WP"),
    ("Ошибка: Файл отчёта", "problem", [999], "ornpm.exe /REPORT"),  # not the damaged reports of the past
    ("Версия: 9.8.1.0, %s у 4 из 240; у большинства: 10.0.2.123" % HOSTILE_VERSION, "outlier", [17, 18, 19, 100],
     None),
]

# Histories, newest first, each entry's text after its time; "%s" is the report's path, and a
# text ending in "…" is the start of the entry's.
DAMAGED_TEXT = "Файл отчёта \"%s\" повреждён или имеет неверный формат"
HISTORIES = {
    "WS-005": ["без изменений", "Версия: 9.8.1.0 → 10.0.2.123\r\nДомен в Hosts: да → нет", "первый отчёт"],
    "WS-045": ["Домен в Hosts: да → нет", "без изменений", "первый отчёт"],
    "WS-070": ["Домен в исключениях прокси: нет → да", "Домен в исключениях прокси: да → нет", "первый отчёт"],
    "WS-090": ["Путь к файлам журнала: E:\\Old\\ → " + LOG_FOLDER, DAMAGED_TEXT, "первый отчёт"],
    # The cut-off report lacks the log settings: no change either way.
    "WS-091": ["без изменений", "Файл отчёта \"%s\" неполный: …", "первый отчёт"],
    # The number of processes and the resolved log folder differ by nature.
    "WS-150": ["Версия: 9.8.1.0 → 10.0.2.123", "без изменений", "первый отчёт"],
    "WS-200": ["Имя файла журнала: old.log → " + LOG_NAME, "Имя файла журнала: %s → old.log" % LOG_NAME, "первый отчёт"],
    "WS-999": [DAMAGED_TEXT, DAMAGED_TEXT],
}


def name_of(n):
    return "WS-100-Тест" if n == 100 else "WS-%03d" % n


def expected_marks(w):
    """The problem and outlier marks of a newest report's cells, by column."""
    return {"Домен в Hosts": None if w["hosts"] else "problem",
            "Домен в исключениях прокси": None if w["proxy"] else "problem",
            "Проверка библиотеки": "problem" if w["failed"] else None,
            "Версия": None if w["version"] == "10.0.2.123" else "outlier",
            "Путь к файлам журнала": None if w["log_folder"] == LOG_FOLDER else "outlier",
            "Интернет: Запускать элементы ActiveX и подключаемые модули (1200)":
                "outlier" if w["zones"][(3, "1200")] != 0 else None}


def check_cell_marks(name, column, cell, kind, workstations):
    """The cell's class and title: its problem or outlier mark, and its change."""
    where = "Chromium: %s, %s" % (name, column)
    classes, title = cell.classes, cell.attrs.get("title") or ""
    change = CHANGED_CELLS.get((name, column))
    shown_kind = ({"problem", "outlier"} & classes or {None}).pop()
    if kind != "any":
        check(shown_kind == kind, "%s marked %r, expected %r" % (where, shown_kind, kind))
    if not check(("changed" in classes) == bool(change), "%s: class %r, title %r, expected %s"
                 % (where, cell.attrs.get("class"), title, "a change" if change else "no change")):
        return
    # "Проблема", "Отличие: у большинства — …", then the change: "было: …; изменилось между … и …".
    word = {"problem": "Проблема", "outlier": "Отличие", None: None}[shown_kind]
    check(re.split("[:;]", title)[0] == word if word else not title.startswith(("Проблема", "Отличие")),
          "%s: the title %r, expected the word %r" % (where, title, word))
    if change:
        before, day = change
        own = workstations[name]
        previous = next(r for r in own if r.day == day)
        said = "было: %s; изменилось между %s и %s" % (before, local(previous.time), local(own[-1].time))
        check(title.endswith("; " + said) if word else title == said,
              "%s: the title is %r, expected %r" % (where, title, said))


def check_history(name, cell, workstations):
    """The first cell of a workstation's row: its newest report's path, opening to all of them."""
    own = workstations[name]
    details = cell.first("details", "history")
    if len(own) == 1:
        check(details is None and cell.text() == winpath(own[0].path), "Chromium: %s has one report, its first cell "
              "is %r" % (name, cell.text()))
        return
    if not check(details is not None, "Chromium: %s has %d reports and no history" % (name, len(own))):
        return
    summary = details.first("summary")
    count = summary.first("span", "reports")
    check(summary.text(skip=lambda node: "reports" in node.classes) == winpath(own[-1].path),
          "Chromium: %s: the history's summary is %r" % (name, summary.text()))
    check(count is not None and count.text() == "История: отчётов %d" % len(own),
          "Chromium: %s: the history says %r" % (name, count and count.text()))
    entries = details.first("ol").kids("li")
    check(len(entries) == len(own), "Chromium: %s: %d history entries, expected %d" % (name, len(entries), len(own)))
    expected = HISTORIES.get(name, [None] * len(own))
    for entry, report, wanted in zip(entries, reversed(own), expected):
        where = "Chromium: %s, history of %s" % (name, DAYS[report.day])
        when = entry.first("span", "when")
        check(when is not None and when.text() == local(report.time) and when.attrs.get("title") == winpath(report.path),
              "%s: the time %r, title %r" % (where, when and when.text(), when and when.attrs.get("title")))
        check(("problem" in entry.classes) == bool(report.state), "%s: class %r" % (where, entry.attrs.get("class")))
        if wanted:
            text = wanted.replace("%s", winpath(report.path))
            shown = entry.text(skip=lambda node: "when" in node.classes)
            check(shown.startswith(" — ") and (shown[3:] == text or text.endswith("…") and
                                              shown[3:].startswith(text[:-1])),
                  "%s: %r, expected %r" % (where, shown, " — " + text))


def summary_lines(page):
    """(class, text, repair, links) of each line of the summary but the same-everywhere ones."""
    lines = []
    for li in page.first("div", "summary").all("li"):
        if li.parent.parent.tag == "details" and "same" in li.parent.parent.classes:
            continue
        summary = li.first("summary")
        repair = summary.first("span", "repair") if summary else None
        links = [(a.attrs.get("href"), a.text()) for a in li.all("a")]
        lines.append((li.attrs.get("class"), summary.text(skip=lambda node: "repair" in node.classes) if summary else "",
                      repair.text() if repair else None, links))
    return lines


def check_page(html_path, csv_path, work, workstations, screenshot):
    url = "file://" + html_path
    dom = chromium("--dump-dom", url, work=work).stdout.decode("utf-8")
    reader = DomReader()
    reader.feed(dom)
    page = reader.root
    title = page.first("title").text()
    check(title == "ORN PlugIn: сводная таблица", "Chromium: the title is %r: a report's script ran" % title)
    check("img" not in reader.tags and "script" not in reader.tags, "Chromium: a report's markup became elements")

    plain = read_csv(csv_path)
    columns = plain[0]
    by_path = {row[0]: dict(zip(columns, row)) for row in plain[1:]}
    shown = [th.text() for th in page.first("thead").all("th")]
    check(shown[:3] == columns[:3], "Chromium: the first columns are %r" % shown[:3])
    # Only what differs is shown; what is the same everywhere is named under the summary.
    restricted = "Ограниченные узлы: Запускать элементы ActiveX и подключаемые модули (1200)"
    for column in ("Версия", "Домен в Hosts", "Домен в исключениях прокси", "Путь к файлам журнала",
                   "Интернет: Запускать элементы ActiveX и подключаемые модули (1200)", "Ошибка"):
        check(column in shown, "Chromium: the column %r that differs is not shown" % column)
    check(restricted not in shown, "Chromium: the restricted zone's 1200, the same everywhere, is shown")
    same = [li.text() for li in page.first("details", "same").all("li")]
    check(restricted + " — Отключено/Запрещено" in same, "Chromium: the same-everywhere line lacks the zone")

    # A row per workstation, by name, with its newest report's cells.
    rows = page.first("tbody").kids("tr")
    names = [row.kids("td")[1].text() if len(row.kids("td")) > 1 else "" for row in rows]
    check(names == sorted(workstations), "Chromium: the rows are of %r…, expected a row per workstation by name, %r…"
          % (names[:5], sorted(workstations)[:5]))
    row_of = {}
    for r, (name, row) in enumerate(zip(names, rows), start=1):
        cells = row.kids("td")
        if not check(len(cells) == len(shown), "Chromium: row %d has %d cells" % (r, len(cells))):
            continue
        check(row.attrs.get("id") == "r%d" % r, "Chromium: row %d is named %r" % (r, row.attrs.get("id")))
        if not check(name in workstations, "Chromium: row %d is of %r" % (r, name)):
            continue
        row_of[name] = row.attrs.get("id")
        newest = workstations[name][-1]
        csv_row = by_path.get(winpath(newest.path), {})
        check_history(name, cells[0], workstations)
        for column, cell in zip(shown[1:], cells[1:]):
            value = csv_row.get(column, "")
            if value.startswith("'") and value[1:2] in ("=", "+", "-", "@"):
                value = value[1:]
            check(cell.text() == value, "Chromium: %s, %s: %r, its newest report holds %r"
                  % (name, column, cell.text(), value))
        marks = expected_marks(newest.w) if not newest.state else {"Ошибка": "problem"}
        for column, cell in zip(shown, cells):
            check_cell_marks(name, column, cell, marks.get(column, "any"), workstations)

    # The summary: the period, then every line opening to each row it counts.
    first = page.first("div", "summary").first("p").text()
    times = [report.time for own in workstations.values() for report in own]
    counts = "Отчётов: %d, рабочих мест: %d, с %s по %s. В таблице — последний отчёт каждого рабочего места" % (
        len(times), len(workstations), local(min(times)), local(max(times)))
    check(first.startswith(counts), "Chromium: the summary begins %r, expected %r" % (first[:120], counts))
    lines = summary_lines(page)
    marked = {}  # (column, class): the rows whose cell has the mark
    for name, row in zip(names, rows):
        for column, cell in zip(shown, row.kids("td")):
            for cls in cell.classes & {"problem", "outlier"}:
                marked.setdefault((column, cls), set()).add("#" + row_of.get(name, "?"))
    for cls, text, repair, links in lines:
        hrefs = [href for href, _ in links]
        check(len(set(hrefs)) == len(hrefs), "Chromium: %r links a row twice" % text)
        for href, shown_name in links:
            check(row_of.get(shown_name) == (href or "#")[1:], "Chromium: %r links %s to %r" % (text, shown_name, href))
        check((repair is not None) == (cls == "problem"), "Chromium: %r of class %r has the repair %r"
              % (text, cls, repair))
        if cls in ("problem", "outlier"):
            # The column is the longest caption the line begins with.
            column = max((c for c in shown if text.startswith(c + ": ")), key=len, default=None)
            count = re.search(r" у (\d+) из 240", text)
            rows_marked = marked.get((column, cls), set())
            check(set(hrefs) == rows_marked and count and int(count.group(1)) == len(rows_marked),
                  "Chromium: %r leads to %d rows, its column has %d marked" % (text, len(hrefs), len(rows_marked)))
        else:
            check(cls == "changed", "Chromium: the summary line %r is of class %r" % (text, cls))

    def check_line(text, cls, numbers, repair=None):
        found = [line for line in lines if line[1].startswith(text)]
        if not check(len(found) == 1, "Chromium: the summary has %d lines %r; it says %r"
                     % (len(found), text, [line[1] for line in lines])):
            return
        cls_found, _, repair_found, links = found[0]
        check(cls_found == cls, "Chromium: %r is of class %r" % (text, cls_found))
        expected = sorted(name_of(n) for n in numbers)
        check(sorted(name for _, name in links) == expected, "Chromium: %r leads to %r, expected %r"
              % (text, sorted(name for _, name in links), expected))
        check(repair is None or repair in (repair_found or ""), "Chromium: %r repairs with %r" % (text, repair_found))

    for text, cls, numbers, repair in FINDING_LINES:
        check_line(text, cls, numbers, repair)
    for text, numbers in CHANGE_LINES:
        check_line(text, "changed", numbers)
    changes = [text for cls, text, _, _ in lines if cls == "changed"]
    check(sorted(changes) == sorted(text for text, _ in CHANGE_LINES),
          "Chromium: the changes are %r, expected %r" % (changes, [text for text, _ in CHANGE_LINES]))
    headings = [h.text() for h in page.first("div", "summary").all("h2")]
    check(headings == ["Проблемы", "Изменения", "Отличия от большинства"], "Chromium: the summary's sections are %r"
          % headings)

    chromium("--screenshot=" + screenshot, "--window-size=1280,900", url, work=work)
    check(os.path.getsize(screenshot) > 10000, "Chromium: the screenshot %s is empty" % screenshot)


def main():
    ornpm, work = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "reports")
    os.makedirs(folder)
    reports = make_fleet(folder)
    csv_path, html_path = os.path.join(work, "fleet.csv"), os.path.join(work, "fleet.html")
    run_table(ornpm, csv_path, folder)
    run_table(ornpm, html_path, folder)
    if not FAILURES:
        check_spreadsheet(csv_path, work, reports)
        check_page(html_path, csv_path, work, by_workstation(reports), os.path.join(work, "fleet-page.png"))
    for failure in FAILURES[:60]:
        print("FAILED: " + failure)
    if len(FAILURES) > 60:
        print("... and %d more" % (len(FAILURES) - 60))
    print("fleet clients: %d checks failed" % len(FAILURES) if FAILURES else "fleet clients: Calc and Chromium agree")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
