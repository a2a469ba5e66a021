#!/usr/bin/env python3
"""Checks every platform constant the sources declare against the platform's own values.

    check_platform_constants.py REFERENCE SOURCE_FOLDER...

REFERENCE (sdk-constants.txt beside this script) holds the Windows SDK's values with their public
sources, one "NAME = VALUE" a line. The C and C++ files (.h, .c, .cpp) under each SOURCE_FOLDER, build
and dist output left out, are read without their comments, and these count as platform constants:

  - a constant declaration (a constexpr or const variable, #define, DEFINE_GUID, DEFINE_PROPERTYKEY)
    whose name begins with a prefix of the platform: WPD_, CLSID_, IID_, GUID_DEVINTERFACE_,
    GUID_DEVCLASS_, PORTABLE_DEVICE_, E_WPD_, FACILITY_WPD, FORMAT_, or of the MTP protocol: PTP_,
    MTP_. Its value may be a GUID, a property key, a number, a text, an object format built from its
    MTP code, or the name of another constant;
  - an interface declared with its uuid (__CRT_UUID_DECL, MIDL_INTERFACE, DECLSPEC_UUID,
    __declspec(uuid)), whose id the reference calls IID_<interface>;
  - an object format built from an MTP code, MtpFormatGuid(0xCCCC), and, in a file that builds
    formats from codes it keeps in tables, each format code of the MTP ranges 0x3000-0x3FFF and
    0xB000-0xBFFF written there;
  - every GUID written as text, braces or not.

Names of our own (ZEPH_*, k*) and the enumerations of the public header are not platform constants:
they are no constant declarations of a platform prefix. A declared constant fails when the reference
does not know its name or gives it another value; a value without a name (a GUID text, a format built
from a code) fails when the reference holds no such value. One line per failure; the status is 1 when
any failed.
"""
import os
import re
import sys

PREFIXES = ('WPD_', 'CLSID_', 'IID_', 'GUID_DEVINTERFACE_', 'GUID_DEVCLASS_', 'PORTABLE_DEVICE_', 'E_WPD_',
            'FACILITY_WPD', 'FORMAT_', 'PTP_', 'MTP_')
SOURCE_SUFFIXES = ('.h', '.c', '.cpp')
HEX = r'0[xX][0-9A-Fa-f]+'
INTEGER = r'(?:0[xX][0-9A-Fa-f]+|\d+)[uUlL]*'
GUID_TEXT = re.compile(r'[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}')
FORMAT_CALL = re.compile(r'MtpFormatGuid\(\s*(' + HEX + r')\s*\)')
FORMAT_CALL_OF_VARIABLE = re.compile(r'MtpFormatGuid\(\s*[A-Za-z_][\w.>-]*\s*\)')
FORMAT_CODE = re.compile(r'\b0[xX]([3Bb][0-9A-Fa-f]{3})\b')

DECLARATIONS = [
    re.compile(r'\b(?:constexpr|const)\b[^;=(){}]*?\b(?P<name>[A-Za-z_]\w*)\s*(?:\[\s*\])?\s*=\s*(?P<value>[^;]*);'),
    re.compile(r'^[ \t]*#[ \t]*define[ \t]+(?P<name>[A-Za-z_]\w*)[ \t]+(?P<value>[^\n]+)$', re.M),
    re.compile(r'\bDEFINE_(?:GUID|PROPERTYKEY)\(\s*(?P<name>\w+)\s*,(?P<value>[^;)]*)\)'),
]
INTERFACE_IDS = [
    re.compile(r'__CRT_UUID_DECL\(\s*(?P<name>\w+)\s*,(?P<value>[^)]*)\)'),
    re.compile(r'(?:MIDL_INTERFACE|DECLSPEC_UUID|__declspec\(\s*uuid)\(\s*"(?P<value>[^"]*)"\s*\)\)?\s*'
               r'(?:struct|class|interface)?\s*(?P<name>\w+)'),
]


def guid_text(numbers):
    """The registry form of a GUID given as its eleven numbers (Data1, Data2, Data3, the eight bytes)."""
    d1, d2, d3, *b = numbers
    return '{%08X-%04X-%04X-%02X%02X-%s}' % (d1, d2, d3, b[0], b[1], ''.join('%02X' % x for x in b[2:]))


def format_guid(code):
    return guid_text([code << 16, 0xAE6C, 0x4804, 0x98, 0xBA, 0xC5, 0x7B, 0x46, 0x96, 0x5F, 0xE7])


def integer(text):
    return int(text.rstrip('uUlL'), 0)


def split_top_level(text):
    """The comma-separated parts of text that lie outside nested braces and parentheses."""
    parts, depth, start = [], 0, 0
    for i, c in enumerate(text):
        depth += c in '{(' and 1 or c in '})' and -1 or 0
        if c == ',' and depth == 0:
            parts.append(text[start:i].strip())
            start = i + 1
    parts.append(text[start:].strip())
    return parts


class Evaluator:
    """Reads the value of a declaration; names of other declarations resolve through names."""

    def __init__(self, names):
        self.names = names

    def __call__(self, text, seen=()):
        text = re.sub(r'\b\w+::', '', ' '.join(text.split()))
        text = re.sub(r'^static_cast<[^>]*>\((.*)\)$', r'\1', text).strip()
        if re.fullmatch(INTEGER, text):
            return integer(text)
        if m := re.fullmatch(r'L?"([^"]*)"', text):
            return m.group(1)
        if m := re.fullmatch(r'MtpFormatGuid\(\s*(' + HEX + r')\s*\)', text):
            return format_guid(int(m.group(1), 16))
        if m := GUID_TEXT.fullmatch(text.strip('{}')):
            return '{%s}' % text.strip('{}').upper()
        if text in self.names and text not in seen:
            return self(self.names[text], seen + (text,))
        numbers = re.findall(INTEGER, text)
        if re.fullmatch(r'[{}\s,0-9A-Fa-fxXuUlL]*', text) and len(numbers) in (11, 12):
            value = guid_text([integer(n) for n in numbers[:11]])
            return value if len(numbers) == 11 else '%s %d' % (value, integer(numbers[11]))
        if text.startswith('{') and text.endswith('}'):
            parts = split_top_level(text[1:-1])
            if len(parts) == 2 and re.fullmatch(INTEGER, parts[1]):
                fmtid = self(parts[0], seen)
                if isinstance(fmtid, str) and fmtid.startswith('{') and ' ' not in fmtid:
                    return '%s %d' % (fmtid, integer(parts[1]))
        return None


def shown(value):
    return '0x%X' % value if isinstance(value, int) else value


def read_reference(path):
    reference = {}
    for line in open(path, encoding='utf-8'):
        line = line.strip()
        if not line or line.startswith('#'):
            continue
        name, value = (part.strip() for part in line.split('=', 1))
        if value.startswith('"'):
            reference[name] = value.strip('"')
        elif value.startswith('{'):
            reference[name] = value.upper()
        else:
            reference[name] = int(value, 0)
    return reference


def without_comments(text):
    """text with its comments blanked out, line breaks kept, string and character literals left alone."""
    out, i, n = [], 0, len(text)
    while i < n:
        if text.startswith('//', i):
            end = text.find('\n', i)
            end = n if end < 0 else end
            out.append(' ' * (end - i))
            i = end
        elif text.startswith('/*', i):
            end = text.find('*/', i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:end]))
            i = end
        elif text[i] in '"\'':
            quote, j = text[i], i + 1
            while j < n and text[j] != quote and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def source_files(folders):
    for folder in folders:
        for root, dirs, files in os.walk(folder):
            dirs[:] = sorted(d for d in dirs if not d.startswith('.') and d not in ('build', 'dist'))
            for file in sorted(files):
                if file.endswith(SOURCE_SUFFIXES):
                    yield os.path.join(root, file)


def main(reference_path, folders):
    reference = read_reference(reference_path)
    known_values = {str(v).upper() for v in reference.values() if isinstance(v, str)}
    sources = {path: without_comments(open(path, encoding='utf-8', errors='replace').read())
               for path in source_files(folders)}

    declared = []  # (path, line, name, value text)
    for path, text in sources.items():
        for pattern in DECLARATIONS:
            for m in pattern.finditer(text):
                declared.append((path, text.count('\n', 0, m.start()) + 1, m.group('name'), m.group('value')))
        for pattern in INTERFACE_IDS:
            for m in pattern.finditer(text):
                declared.append((path, text.count('\n', 0, m.start()) + 1, 'IID_' + m.group('name'),
                                 m.group('value')))
    evaluate = Evaluator({name: value for _, _, name, value in declared})

    failures, checked = [], 0
    for path, line, name, value_text in declared:
        if not name.startswith(PREFIXES):
            continue
        checked += 1
        where = '%s:%d' % (os.path.relpath(path), line)
        value = evaluate(value_text)
        if name not in reference:
            failures.append('%s: %s is no platform constant the reference knows' % (where, name))
        elif value is None:
            failures.append('%s: %s = %s cannot be read as a value' % (where, name, ' '.join(value_text.split())))
        elif value != reference[name]:
            failures.append('%s: %s is %s, the reference says %s' % (where, name, shown(value), shown(reference[name])))

    for path, text in sources.items():
        def unnamed(offset, value, what):
            nonlocal checked
            checked += 1
            if value.upper() not in known_values:
                failures.append('%s:%d: %s %s is no value the reference knows'
                                % (os.path.relpath(path), text.count('\n', 0, offset) + 1, what, value))
        for m in GUID_TEXT.finditer(text):
            unnamed(m.start(), '{%s}' % m.group(0), 'GUID')
        for m in FORMAT_CALL.finditer(text):
            unnamed(m.start(), format_guid(int(m.group(1), 16)), 'object format %s,' % m.group(1))
        if FORMAT_CALL_OF_VARIABLE.search(text):
            for m in FORMAT_CODE.finditer(text):
                unnamed(m.start(), format_guid(int(m.group(1), 16)), 'object format 0x%s,' % m.group(1))

    for failure in failures:
        print(failure)
    print('%d platform constants checked, %d failed' % (checked, len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
