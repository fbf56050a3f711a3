#!/usr/bin/python3
"""Turns the office guide (a small part of Markdown) into one HTML page.

    md_to_html.py GUIDE.md OUT.html

Headings (#, ##, ###), paragraphs, lists (- and 1.), tables (| a | b |),
code blocks (```), and inline `code`, **bold**, [links](url) and
![pictures](path). Pictures are read relative to GUIDE.md and embedded, so
the page is one file a browser opens from anywhere. Anything else is text.
"""
import base64
import html
import os
import re
import sys


def inline(text, base):
    out = []
    pos = 0
    pattern = re.compile(r"`([^`]+)`|\*\*(.+?)\*\*|!\[([^\]]*)\]\(([^)]+)\)|\[([^\]]+)\]\(([^)]+)\)")
    for m in pattern.finditer(text):
        out.append(html.escape(text[pos:m.start()]))
        if m.group(1) is not None:
            out.append("<code>%s</code>" % html.escape(m.group(1)))
        elif m.group(2) is not None:
            out.append("<strong>%s</strong>" % inline(m.group(2), base))
        elif m.group(4) is not None:
            picture = os.path.join(base, m.group(4))
            if os.path.exists(picture):
                with open(picture, "rb") as f:
                    data = base64.b64encode(f.read()).decode("ascii")
                out.append('<img src="data:image/png;base64,%s" alt="%s">' % (data, html.escape(m.group(3))))
            else:  # not taken yet (scripts/windows-gui-tests.sh docs/screenshots): the words stand in
                print("md_to_html: no picture %s" % picture, file=sys.stderr)
                out.append("[%s]" % html.escape(m.group(3)))
        else:
            out.append('<a href="%s">%s</a>' % (html.escape(m.group(6)), inline(m.group(5), base)))
        pos = m.end()
    out.append(html.escape(text[pos:]))
    return "".join(out)


def join_lines(parts):
    # Japanese lines join without a blank; a blank only between two ASCII ends.
    text = parts[0]
    for part in parts[1:]:
        text += (" " if ord(text[-1]) < 0x80 and ord(part[0]) < 0x80 else "") + part
    return text


def cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


def convert(lines, base):
    out = []
    title = ""
    i = 0
    while i < len(lines):
        line = lines[i].rstrip("\n")
        if not line.strip():
            i += 1
        elif line.startswith("```"):
            block = []
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                block.append(lines[i].rstrip("\n"))
                i += 1
            i += 1
            out.append("<pre><code>%s</code></pre>" % html.escape("\n".join(block)))
        elif m := re.match(r"(#{1,3}) (.*)", line):
            level = len(m.group(1))
            title = title or m.group(2)
            out.append("<h%d>%s</h%d>" % (level, inline(m.group(2), base), level))
            i += 1
        elif line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(cells(lines[i]))
                i += 1
            out.append("<table>")
            out.append("<tr>%s</tr>" % "".join("<th>%s</th>" % inline(c, base) for c in rows[0]))
            for row in rows[2:]:
                out.append("<tr>%s</tr>" % "".join("<td>%s</td>" % inline(c, base) for c in row))
            out.append("</table>")
        elif re.match(r"(- |\d+\. )", line):
            tag = "ul" if line.startswith("- ") else "ol"
            out.append("<%s>" % tag)
            while i < len(lines) and re.match(r"(- |\d+\. )", lines[i]):
                item = re.sub(r"^(- |\d+\. )", "", lines[i].rstrip("\n"))
                i += 1
                while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
                    item = join_lines([item, lines[i].strip()])
                    i += 1
                out.append("<li>%s</li>" % inline(item, base))
            out.append("</%s>" % tag)
        else:
            para = []
            while i < len(lines) and lines[i].strip() and not re.match(r"(#|```|\||- |\d+\. )", lines[i]):
                para.append(lines[i].strip())
                i += 1
            out.append("<p>%s</p>" % inline(join_lines(para), base))
    return title, out


STYLE = """body { font-family: "Meiryo", "MS PGothic", sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em; line-height: 1.7; }
h1 { border-bottom: 2px solid #888; } h2 { border-bottom: 1px solid #ccc; margin-top: 2em; }
table { border-collapse: collapse; } th, td { border: 1px solid #aaa; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }
code, pre { background: #f2f2f2; } pre { padding: 0.6em; overflow-x: auto; } img { border: 1px solid #ccc; margin: 0.5em 0; }"""


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        lines = f.readlines()
    title, body = convert(lines, os.path.dirname(os.path.abspath(source)))
    page = ['<!DOCTYPE html>', '<html lang="ja">', "<head>", '<meta charset="utf-8">',
            "<title>%s</title>" % html.escape(title), "<style>", STYLE, "</style>", "</head>", "<body>"]
    page += body + ["</body>", "</html>", ""]
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(page))


if __name__ == "__main__":
    main()
