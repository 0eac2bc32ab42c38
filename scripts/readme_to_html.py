#!/usr/bin/env python3
"""Turns the README into the user guide installed with the program (the About box opens it).

Usage: readme_to_html.py README.md OUTPUT.html
       readme_to_html.py docs/PAGE.md OUTPUT.html       (the pages the README links to)

Reads the part of Markdown the README is written in and writes one self-contained HTML page
(no scripts, no remote style sheets, nothing fetched when it is opened):

  # / ## / ### ...      headings
  blank line            ends a paragraph, list, table or quote
  ``` ... ```           a block shown as typed (the word after the opening fence is ignored)
  - item / * item       list items; indented lines continue the item
  1. item               numbered list items
  | a | b |             table rows; the |---| row under the first one makes it a heading row
  > text                quoted text
  `code` **bold** *emphasis* _emphasis_ [text](address) ![picture](address)   within a line

Everything else is text. Every character of the README is escaped, so nothing in it can
become markup the README did not ask for; only addresses with a scheme of http, https, file or
mailto, or relative ones, become links (and pictures). Relative links to the Markdown
pages become links to their web pages: README.md is the guide (guide.html), any other PAGE.md
is PAGE.html beside it, so the guide and the pages of docs/ link to each other as the Markdown
files do.
"""

import html
import os
import re
import sys

INLINE = re.compile(
    r"(?P<code>`+)(?P<codetext>.+?)(?P=code)"
    r"|\*\*(?P<bold>.+?)\*\*"
    r"|(?<![\w*])\*(?P<em>[^*\s][^*]*?)\*(?![\w*])"
    r"|(?<!\w)_(?P<em2>[^_\s][^_]*?)_(?!\w)"
    r"|!\[(?P<alt>[^\]]*)\]\((?P<src>[^)\s]+)\)"
    r"|\[(?P<linktext>[^\]]+)\]\((?P<href>[^)\s]+)\)"
)
SAFE_HREF = re.compile(r"^(https?:|file:|mailto:|[^:]*$)", re.IGNORECASE)


def page_address(href):
    """A relative link to a Markdown page as a link to its web page."""
    if ":" in href or href.startswith("#"):
        return href
    path, hash_mark, fragment = href.partition("#")
    if path.endswith(".md"):
        folder, _, name = path.rpartition("/")
        page = "guide.html" if name == "README.md" else name[:-3] + ".html"
        path = folder + "/" + page if folder else page
    return path + hash_mark + fragment


def inline(text):
    """Escapes one line of text and renders its inline marks."""
    out = []
    pos = 0
    for m in INLINE.finditer(text):
        out.append(html.escape(text[pos:m.start()]))
        if m.group("code"):
            out.append("<code>" + html.escape(m.group("codetext").strip()) + "</code>")
        elif m.group("bold"):
            out.append("<strong>" + inline(m.group("bold")) + "</strong>")
        elif m.group("em") or m.group("em2"):
            out.append("<em>" + inline(m.group("em") or m.group("em2")) + "</em>")
        elif m.group("src"):
            src = m.group("src")
            if SAFE_HREF.match(src):
                out.append('<img src="' + html.escape(src, quote=True) + '" alt="'
                           + html.escape(m.group("alt"), quote=True) + '">')
            else:
                out.append(html.escape(m.group("alt")))
        else:
            href = m.group("href")
            label = inline(m.group("linktext"))
            if SAFE_HREF.match(href):
                out.append('<a href="' + html.escape(page_address(href), quote=True) + '">'
                           + label + "</a>")
            else:
                out.append(label)
        pos = m.end()
    out.append(html.escape(text[pos:]))
    return "".join(out)


def split_row(line):
    cells = line.strip()
    if cells.startswith("|"):
        cells = cells[1:]
    if cells.endswith("|"):
        cells = cells[:-1]
    return [c.strip() for c in re.split(r"(?<!\\)\|", cells)]


def is_rule_row(line):
    return bool(re.fullmatch(r"\s*\|?\s*:?-{2,}:?\s*(\|\s*:?-{2,}:?\s*)*\|?\s*", line))


def heading_anchor(text, taken):
    """The id a heading gets, as code hosts make them, so that links like (#installing) work in
    the README and the guide alike: lower case, marks dropped, spaces turned into hyphens, and
    -1, -2 ... after a repeated one."""
    base = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")
    anchor, n = base, 0
    while anchor in taken:
        n += 1
        anchor = f"{base}-{n}"
    taken.add(anchor)
    return anchor


def convert(lines):
    body = []
    title = None
    anchors = set()
    i = 0
    n = len(lines)
    paragraph = []

    def flush_paragraph():
        if paragraph:
            body.append("<p>" + " ".join(inline(p) for p in paragraph) + "</p>")
            paragraph.clear()

    while i < n:
        line = lines[i].rstrip("\n")
        stripped = line.strip()

        if stripped.startswith("```"):
            flush_paragraph()
            i += 1
            block = []
            while i < n and not lines[i].strip().startswith("```"):
                block.append(lines[i].rstrip("\n"))
                i += 1
            i += 1  # the closing fence (or the end of the file)
            body.append("<pre><code>" + html.escape("\n".join(block)) + "</code></pre>")
            continue

        heading = re.match(r"^(#{1,6})\s+(.*?)\s*#*\s*$", line)
        if heading:
            flush_paragraph()
            level = len(heading.group(1))
            text = heading.group(2)
            if title is None:
                title = text
            anchor = heading_anchor(text, anchors)
            body.append(f'<h{level} id="{anchor}">{inline(text)}</h{level}>')
            i += 1
            continue

        if not stripped:
            flush_paragraph()
            i += 1
            continue

        if stripped.startswith("|") and i + 1 < n and is_rule_row(lines[i + 1]):
            flush_paragraph()
            head = split_row(stripped)
            i += 2
            rows = []
            while i < n and lines[i].strip().startswith("|"):
                rows.append(split_row(lines[i]))
                i += 1
            table = ["<table>", "<thead><tr>"]
            table += ["<th>" + inline(c) + "</th>" for c in head]
            table.append("</tr></thead><tbody>")
            for row in rows:
                table.append("<tr>" + "".join("<td>" + inline(c) + "</td>" for c in row) + "</tr>")
            table.append("</tbody></table>")
            body.append("".join(table))
            continue

        item = re.match(r"^(\s*)([-*]|\d+[.)])\s+(.*)$", line)
        if item and not paragraph:
            ordered = item.group(2)[0].isdigit()
            tag = "ol" if ordered else "ul"
            items = []
            while i < n:
                current = lines[i].rstrip("\n")
                m = re.match(r"^(\s*)([-*]|\d+[.)])\s+(.*)$", current)
                if m and (m.group(2)[0].isdigit()) == ordered:
                    items.append([m.group(3)])
                    i += 1
                elif items and current.strip() and current.startswith((" ", "\t")):
                    items[-1].append(current.strip())
                    i += 1
                else:
                    break
            body.append(
                f"<{tag}>"
                + "".join("<li>" + " ".join(inline(t) for t in it) + "</li>" for it in items)
                + f"</{tag}>"
            )
            continue

        if stripped.startswith(">"):
            flush_paragraph()
            quoted = []
            while i < n and lines[i].strip().startswith(">"):
                quoted.append(lines[i].strip()[1:].strip())
                i += 1
            body.append("<blockquote><p>" + " ".join(inline(q) for q in quoted) + "</p></blockquote>")
            continue

        paragraph.append(stripped)
        i += 1

    flush_paragraph()
    return (title or "User guide"), body


STYLE = """
body { font-family: sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; color: #202020; background: #ffffff; }
h1, h2, h3 { line-height: 1.2; }
code, pre { font-family: monospace; background: #f3f3f3; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #c8c8c8; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
blockquote { border-left: 3px solid #c8c8c8; margin-left: 0; padding-left: 1em; }
"""


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: readme_to_html.py README.md OUTPUT.html\n")
        return 2
    with open(argv[1], encoding="utf-8") as f:
        title, body = convert(f.readlines())
    page = (
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        f"<title>{inline(title)} \u2014 user guide</title>\n"
        f"<style>{STYLE}</style>\n</head>\n<body>\n"
        + "\n".join(body)
        + "\n</body>\n</html>\n"
    )
    # Written whole or not at all, so an interrupted build never leaves half a guide.
    tmp = argv[2] + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(tmp, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
