"""Writes the public enumerations of include/tarsin/types.h as a C++ table for the Python module,
so that its IntEnums follow the header: enums_from_header.py TYPES_H OUTPUT."""
import re
import sys

header = open(sys.argv[1], encoding="utf-8").read()
rows = []
for name, body in re.findall(r"enum\s+(\w+)\s*:\s*int32_t\s*\{(.*?)\}", header, re.S):
    values = re.findall(r"(\w+)\s*=\s*(-?(?:0x[0-9A-Fa-f]+|\d+))", body)
    items = ", ".join(f'{{"{item}", {value}}}' for item, value in values)
    rows.append(f'    {{"{name}", {{{items}}}}},')
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("// Generated from include/tarsin/types.h: do not edit.\n")
    out.write("const EnumTable kEnums[] = {\n" + "\n".join(rows) + "\n};\n")
