#!/usr/bin/python3
# Fills in two data-directory entries that the linker leaves empty. Deterministic: the same
# input gives the same bytes.
#   tools/set_pe_directories.py EXE MAP
# - The load configuration: the exe's own ".ldcfg" section (DependentLoadFlags).
# - The delay imports: the descriptors the delay-import libraries brought in, found through
#   the link map (the shipped exe has no symbols), which tools that list what the exe loads
#   read from the directory.
import re
import sys

import pefile

LOAD_CONFIG = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]
DELAY_IMPORT = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]
DESCRIPTOR_SIZE = 32


def set_load_config(pe, path):
    sections = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".ldcfg"]
    if len(sections) != 1:
        sys.exit(f"{path}: no single .ldcfg section")
    section = sections[0]
    size = pe.get_dword_at_rva(section.VirtualAddress)
    if not size or size > section.Misc_VirtualSize:
        sys.exit(f"{path}: .ldcfg holds no load configuration")
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[LOAD_CONFIG]
    entry.VirtualAddress = section.VirtualAddress
    entry.Size = size


def set_delay_imports(pe, path, map_path):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    found = re.findall(r"^\s+0x([0-9a-f]+)\s+_*_DELAY_IMPORT_DESCRIPTOR_\w+\s*$", text, re.M)
    rvas = sorted({int(a, 16) - pe.OPTIONAL_HEADER.ImageBase for a in found})
    if not rvas:
        return
    first = rvas[0]
    if rvas != [first + i * DESCRIPTOR_SIZE for i in range(len(rvas))]:
        sys.exit(f"{path}: the delay-import descriptors are not one table")
    for rva in rvas:
        attributes, name = pe.get_dword_at_rva(rva), pe.get_dword_at_rva(rva + 4)
        if attributes != 1 or not pe.get_string_at_rva(name).lower().endswith(b".dll"):
            sys.exit(f"{path}: no delay-import descriptor at {rva:#x}")
    end = first + len(rvas) * DESCRIPTOR_SIZE
    if pe.get_data(end, DESCRIPTOR_SIZE) != bytes(DESCRIPTOR_SIZE):
        sys.exit(f"{path}: the delay-import table has no empty descriptor after it")
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[DELAY_IMPORT]
    entry.VirtualAddress = first
    entry.Size = end + DESCRIPTOR_SIZE - first


def main(path, map_path):
    pe = pefile.PE(path, fast_load=True)
    set_load_config(pe, path)
    set_delay_imports(pe, path, map_path)
    # The linker's checksum covered the header as it was; signing tools write a fresh one.
    if pe.OPTIONAL_HEADER.CheckSum:
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    data = pe.write()
    pe.close()
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: set_pe_directories.py EXE MAP")
    main(sys.argv[1], sys.argv[2])
