#!/usr/bin/python3
"""Inspects the built Windows module as the simulator's loader sees it.

Usage: inspect_gau.py MODULE.gau BITMAP_DIR

Checks the PE header, the export directory, the import table, every bitmap
resource against the BMP files the artwork generator wrote, and the version
resource. Prints every difference found and exits 1 if there is any; exits 77
(skipped) when the module has not been built.
"""

import os
import re
import struct
import sys

SKIP = 77

EXPECTED_EXPORTS = {"ImportTable", "Linkage"}
EXPECTED_DLLS = {"kernel32.dll", "winmm.dll", "msvcrt.dll"}
EXPECTED_WINMM = {"sndPlaySoundA"}
LANG_EN_US = 0x409
RT_BITMAP = 2
RT_VERSION = 16
EXPECTED_STRINGS = {
    "FileDescription": "Talvor Gauges",
    "ProductName": "Talvor Gauges",
    "FileVersion": "1.0",
    "ProductVersion": "1.0",
    "CompanyName": "Talvor Gauges",
    "LegalCopyright": "Copyright (C) 2026 Talvor Gauges",
}
VERSION_1_0_0_0 = (0x00010000, 0x00000000)

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC = 0x10B
SCN_CNT_CODE = 0x00000020
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000


def text(b):
    return b.decode("latin-1") if isinstance(b, bytes) else b


def section_of(pe, rva):
    for s in pe.sections:
        if s.VirtualAddress <= rva < s.VirtualAddress + max(s.Misc_VirtualSize, s.SizeOfRawData):
            return s
    return None


def check_header(pe, fail):
    if pe.FILE_HEADER.Machine != IMAGE_FILE_MACHINE_I386:
        fail(f"machine is 0x{pe.FILE_HEADER.Machine:04x}, not i386 (0x014c)")
    if not pe.FILE_HEADER.Characteristics & IMAGE_FILE_DLL:
        fail("the DLL flag is not set in the file header")
    if pe.OPTIONAL_HEADER.Magic != PE32_MAGIC:
        fail(f"optional header magic 0x{pe.OPTIONAL_HEADER.Magic:x} is not PE32 (0x10b)")


def check_exports(pe, fail):
    exp = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if exp is None:
        fail("no export directory")
        return
    name = text(pe.get_string_at_rva(exp.struct.Name))
    if name != "jovTalvor.gau":
        fail(f"export directory name is {name!r}, not 'jovTalvor.gau'")
    names = {text(s.name) if s.name else f"#{s.ordinal}" for s in exp.symbols}
    if names != EXPECTED_EXPORTS:
        fail(f"exports are {sorted(names)}; expected exactly {sorted(EXPECTED_EXPORTS)}"
             f" (missing {sorted(EXPECTED_EXPORTS - names)}, extra {sorted(names - EXPECTED_EXPORTS)})")
    for sym in exp.symbols:
        label = text(sym.name) if sym.name else f"#{sym.ordinal}"
        if sym.forwarder:
            fail(f"export {label} is forwarded to {text(sym.forwarder)}")
            continue
        sec = section_of(pe, sym.address)
        if sec is None:
            fail(f"export {label} (rva 0x{sym.address:x}) lies in no section")
            continue
        secname = text(sec.Name).rstrip("\0")
        if sec.Characteristics & (SCN_CNT_CODE | SCN_MEM_EXECUTE):
            fail(f"export {label} lies in executable section {secname}: it must be data")
        elif secname not in (".data", ".rdata"):
            fail(f"export {label} lies in section {secname}, not .data or .rdata")
        if label == "ImportTable" and not sec.Characteristics & SCN_MEM_WRITE:
            fail(f"ImportTable lies in read-only section {secname}: the host writes into it")
    by_name = {text(s.name): s.address for s in exp.symbols if s.name}
    if "ImportTable" in by_name:
        words = struct.unpack("<4I", pe.get_data(by_name["ImportTable"], 16))
        if words != (0x0F, 0, 0, 0):
            fail("ImportTable holds " + ", ".join(f"0x{w:x}" for w in words)
                 + "; expected {0x0F, null}, {0, null}")
    if "Linkage" in by_name:
        module_id, _, _, flags, priority, version = struct.unpack(
            "<6I", pe.get_data(by_name["Linkage"], 24))
        if (module_id, flags, priority, version) != (0x13, 0, 0, 0x800):
            fail(f"Linkage starts module id 0x{module_id:x}, flags {flags}, priority {priority},"
                 f" version 0x{version:x}; expected 0x13, 0, 0, 0x800")


def check_imports(pe, fail):
    if getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", None):
        fail("the module has delay-load imports: "
             + ", ".join(text(d.dll) for d in pe.DIRECTORY_ENTRY_DELAY_IMPORT))
    entries = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    dlls = {text(e.dll).lower(): e for e in entries}
    if set(dlls) != EXPECTED_DLLS:
        fail(f"imported DLLs are {sorted(text(e.dll) for e in entries)}; expected exactly"
             f" KERNEL32.dll, WINMM.dll, msvcrt.dll (a toolchain runtime DLL means a runtime"
             f" was not linked statically)")
    winmm = dlls.get("winmm.dll")
    if winmm is not None:
        funcs = {text(i.name) if i.name else f"#{i.ordinal}" for i in winmm.imports}
        if funcs != EXPECTED_WINMM:
            fail(f"WINMM.dll imports {sorted(funcs)}; expected only sndPlaySoundA by name")


def bmp_files(bitmap_dir, fail):
    files = {}
    for entry in sorted(os.listdir(bitmap_dir)):
        if not entry.endswith(".bmp"):
            continue
        stem = entry[:-4]
        if not re.fullmatch(r"[0-9a-f]+", stem):
            fail(f"{bitmap_dir}/{entry}: not named by a number in lower-case hex")
            continue
        with open(os.path.join(bitmap_dir, entry), "rb") as f:
            files[int(stem, 16)] = f.read()
    return files


def info_header(data):
    """(header size, width, height, depth, compression) of a BITMAPINFOHEADER."""
    if len(data) < 40:
        return None
    size, width, height, _, depth, compression = struct.unpack_from("<IiiHHI", data, 0)
    return size, width, height, depth, compression


def resource_entries(pe, type_id):
    """{id: {lang: bytes}} for one resource type."""
    out = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return out
    for t in root.entries:
        if t.id != type_id:
            continue
        for r in t.directory.entries:
            key = r.id if r.name is None else str(r.name)
            for lang in r.directory.entries:
                d = lang.data.struct
                out.setdefault(key, {})[lang.id] = pe.get_data(d.OffsetToData, d.Size)
    return out


def check_bitmaps(pe, bitmap_dir, fail):
    files = bmp_files(bitmap_dir, fail)
    resources = resource_entries(pe, RT_BITMAP)
    missing = sorted(set(files) - set(resources), key=lambda k: (str(type(k)), k))
    extra = sorted(set(resources) - set(files), key=lambda k: (str(type(k)), k))
    if missing:
        fail("bitmaps without a resource: " + ", ".join(f"0x{i:x}" for i in missing))
    if extra:
        fail("bitmap resources without a file: "
             + ", ".join(f"0x{i:x}" if isinstance(i, int) else repr(i) for i in extra))
    fields = ("header size", "width", "height", "depth", "compression")
    for rid in sorted(set(files) & set(resources)):
        langs = resources[rid]
        if set(langs) != {LANG_EN_US}:
            fail(f"bitmap 0x{rid:x} has languages {sorted(hex(l) for l in langs)}, not only 0x409")
        data = langs.get(LANG_EN_US) or next(iter(langs.values()))
        bmp = files[rid]
        if len(bmp) < 54 or bmp[:2] != b"BM":
            fail(f"{bitmap_dir}/{rid:x}.bmp is not a BMP file")
            continue
        want, got = info_header(bmp[14:]), info_header(data)
        if got is None:
            fail(f"bitmap 0x{rid:x}: resource of {len(data)} bytes holds no BITMAPINFOHEADER")
            continue
        diffs = [f"{n} {g} (file: {w})" for n, g, w in zip(fields, got, want) if g != w]
        if diffs:
            fail(f"bitmap 0x{rid:x}: " + ", ".join(diffs))
        elif data != bmp[14:]:
            fail(f"bitmap 0x{rid:x}: resource bytes differ from the file after its 14-byte header"
                 f" ({len(data)} vs {len(bmp) - 14} bytes)")


def check_version(pe, fail):
    langs = {lang for by_lang in resource_entries(pe, RT_VERSION).values() for lang in by_lang}
    if not langs:
        fail("no version resource")
        return
    if langs != {LANG_EN_US}:
        fail(f"version resource languages {sorted(hex(l) for l in langs)}, not only 0x409")
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if fixed:
        f = fixed[0]
        if (f.FileVersionMS, f.FileVersionLS) != VERSION_1_0_0_0:
            fail(f"file version 0x{f.FileVersionMS:08x}{f.FileVersionLS:08x}, not 1.0.0.0")
        if (f.ProductVersionMS, f.ProductVersionLS) != VERSION_1_0_0_0:
            fail(f"product version 0x{f.ProductVersionMS:08x}{f.ProductVersionLS:08x}, not 1.0.0.0")
    else:
        fail("version resource has no fixed file info")
    tables, translations = {}, []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            key = text(getattr(block, "Key", b""))
            if key == "StringFileInfo":
                for st in block.StringTable:
                    tables[text(st.LangID).upper()] = {text(k): text(v) for k, v in st.entries.items()}
            elif key == "VarFileInfo":
                for var in block.Var:
                    if "Translation" in {text(k) for k in var.entry}:
                        translations.append(next(text(v) for k, v in var.entry.items()
                                                 if text(k) == "Translation"))
    if set(tables) != {"040904B0"}:
        fail(f"string tables {sorted(tables)}; expected only 040904B0")
    strings = tables.get("040904B0", {})
    for key, want in EXPECTED_STRINGS.items():
        got = strings.get(key)
        if got != want:
            fail(f"version string {key} is {got!r}, not {want!r}")
    if [t.lower() for t in translations] != ["0x0409 0x04b0"]:
        fail(f"VarFileInfo Translation is {translations}; expected 0x409, 1200")


def inspect(path, bitmap_dir):
    """The list of differences between the module at path and what it must be."""
    import pefile

    problems = []
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY[d] for d in (
            "IMAGE_DIRECTORY_ENTRY_EXPORT", "IMAGE_DIRECTORY_ENTRY_IMPORT",
            "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT", "IMAGE_DIRECTORY_ENTRY_RESOURCE")])
    for check in (check_header, check_exports, check_imports, check_version):
        check(pe, problems.append)
    check_bitmaps(pe, bitmap_dir, problems.append)
    return problems


def main(argv):
    if len(argv) != 3:
        print("usage: inspect_gau.py MODULE.gau BITMAP_DIR", file=sys.stderr)
        return 2
    path, bitmap_dir = argv[1], argv[2]
    if not os.path.exists(path):
        print(f"inspect_gau: {path} not built (scripts/build-win32.sh builds it); skipped")
        return SKIP
    if not os.path.isdir(bitmap_dir):
        print(f"inspect_gau: no bitmap folder {bitmap_dir}", file=sys.stderr)
        return 1
    try:
        import pefile  # noqa: F401
    except ImportError:
        print("inspect_gau: python3-pefile is missing (scripts/deps.sh win32 installs it)",
              file=sys.stderr)
        return 1
    problems = inspect(path, bitmap_dir)
    for p in problems:
        print(f"inspect_gau: {path}: {p}", file=sys.stderr)
    if problems:
        return 1
    print(f"inspect_gau: {path}: PE32 i386 DLL, exports, imports, "
          f"{len(bmp_files(bitmap_dir, lambda _: None))} bitmaps and version resource as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
