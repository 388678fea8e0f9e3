"""The language files as the setup reads them, for the texts the tests
expect to see: the same line, escape and key rules as catalog/language_file.cpp,
decoded from Windows-1252."""


def _logical_lines(data):
    lines = []
    line = bytearray()
    i = 0
    while i < len(data):
        c = data[i]
        i += 1
        if c == 0x5C:  # backslash
            if i >= len(data):
                break
            c = data[i]
            i += 1
            if c == ord("n"):
                line += b"\r\n"
            elif c == ord("t"):
                line += b"\t"
            elif c != 0x0A:
                # Any other byte is read again as if it stood alone.
                i -= 1
                c = 0
        elif c not in (0x0D, 0x0A):
            line.append(c)
        if c == 0x0A and line:
            lines.append(bytes(line))
            line = bytearray()
    if line:
        lines.append(bytes(line))
    return lines


def _split(line):
    pos = 0
    while pos < len(line) and line[pos] in b" \t":
        pos += 1
    if pos >= len(line) or line[pos:pos + 1] == b";":
        return None, None
    colon = line.find(b":", pos)
    if colon < 0:
        key, value = line[pos:], b""
    else:
        key = line[pos:colon]
        rest = colon + 1
        while rest < len(line) and line[rest] in b" \t\"":
            rest += 1
        value = line[rest:]
    # A closing quote, with blanks after it, is cut off.
    stripped = value.rstrip(b" ")
    if stripped.endswith(b'"'):
        value = stripped[:-1]
    return key.decode("cp1252"), value.decode("cp1252")


def parse(data):
    """The key-to-text table of a language file's bytes."""
    table = {}
    for line in _logical_lines(data):
        key, value = _split(line)
        if key:
            table[key] = value
    return table


def read(path):
    with open(path, "rb") as source:
        return parse(source.read())


class Catalog:
    def __init__(self, table):
        self.table = table

    def text(self, key):
        """What lookup_text shows: the file's text, or the key itself."""
        return self.table.get(key, key)

    def formatted(self, key, argument):
        """format_catalog_text: the first "%s" takes the argument, "%%" is "%"."""
        text = self.text(key)
        out = []
        used = False
        i = 0
        while i < len(text):
            if text.startswith("%%", i):
                out.append("%")
                i += 2
            elif text.startswith("%s", i) and not used:
                out.append(argument)
                used = True
                i += 2
            else:
                out.append(text[i])
                i += 1
        return "".join(out)


def load(path):
    return Catalog(read(path))


def substituted(data, short_name):
    """The installed copy of a language file: every "@" is the short name."""
    return data.replace(b"@", short_name.encode("cp1252"))
