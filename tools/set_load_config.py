#!/usr/bin/python3
# Points the PE's load-configuration directory at the exe's own ".ldcfg" section, which the
# linker leaves unreferenced. Deterministic: the same input gives the same bytes.
#   tools/set_load_config.py EXE
import sys

import pefile

LOAD_CONFIG = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]


def main(path):
    pe = pefile.PE(path, fast_load=True)
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
    # The linker's checksum covered the header as it was; signing tools write a fresh one.
    if pe.OPTIONAL_HEADER.CheckSum:
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    data = pe.write()
    pe.close()
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: set_load_config.py EXE")
    main(sys.argv[1])
