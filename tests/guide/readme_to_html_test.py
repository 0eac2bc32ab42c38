#!/usr/bin/env python3
"""The user guide is written from the README: headings, tables, code and links as the README
means them, and nothing in the README's text turned into markup it did not ask for."""

import importlib.util
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "readme_to_html.py")
spec = importlib.util.spec_from_file_location("readme_to_html", SCRIPT)
readme_to_html = importlib.util.module_from_spec(spec)
spec.loader.exec_module(readme_to_html)


def render(text):
    _, body = readme_to_html.convert(text.splitlines(keepends=True))
    return "\n".join(body)


class HeadingAnchors(unittest.TestCase):
    def test_links_within_the_guide_find_their_headings(self):
        page = render("# Top\n\nSee [below](#choosing-the-midi-output-ticktavo_midi).\n\n"
                      "## Choosing the MIDI output: `TICKTAVO_MIDI`\n")
        self.assertIn('href="#choosing-the-midi-output-ticktavo_midi"', page)
        self.assertIn('<h2 id="choosing-the-midi-output-ticktavo_midi">', page)

    def test_a_repeated_heading_gets_a_numbered_anchor(self):
        page = render("## Figures\n\ntext\n\n## Figures\n\n### Figures\n")
        for anchor in ('id="figures"', 'id="figures-1"', 'id="figures-2"'):
            self.assertIn(anchor, page)


class Escaping(unittest.TestCase):
    def test_markup_in_the_text_is_shown_as_typed(self):
        page = render('A <script>alert(1)</script> & "quotes"\n\n| a<b | c |\n|---|---|\n| <i> | & |\n')
        self.assertNotIn("<script>", page)
        self.assertIn("&lt;script&gt;", page)
        self.assertNotIn("<i>", page)

    def test_only_safe_addresses_become_links(self):
        page = render("[bad](javascript:alert(1)) and [good](https://example.org/x) "
                      "and [here](#installing)\n")
        self.assertNotIn('href="javascript:', page)
        self.assertIn('href="https://example.org/x"', page)
        self.assertIn('href="#installing"', page)

    def test_code_blocks_keep_their_lines_and_escape_them(self):
        page = render("```\nmake run   # <start>\nmake test\n```\n")
        self.assertIn("make run   # &lt;start&gt;\nmake test", page)


class PagesAndPictures(unittest.TestCase):
    def test_links_to_markdown_pages_go_to_their_web_pages(self):
        page = render("[timing](docs/timing.md#the-grid), [back](../README.md#keys), "
                      "[same](other.md), [site](https://example.org/a.md), [top](#keys)\n")
        self.assertIn('href="docs/timing.html#the-grid"', page)
        self.assertIn('href="../guide.html#keys"', page)
        self.assertIn('href="other.html"', page)
        self.assertIn('href="https://example.org/a.md"', page)
        self.assertIn('href="#keys"', page)

    def test_a_picture_is_an_image_with_its_text_and_only_from_a_safe_address(self):
        page = render('![The <b>window</b>](docs/window.png) ![x](javascript:alert(1))\n')
        self.assertIn('<img src="docs/window.png" alt="The &lt;b&gt;window&lt;/b&gt;">', page)
        self.assertNotIn("javascript:", page)
        self.assertNotIn("[The", page)  # not taken for a link with a "!" before it


class Tables(unittest.TestCase):
    def test_the_rule_row_makes_the_first_row_a_heading(self):
        page = render("| Key | Does |\n|---|---|\n| Alt+P | Play / Stop |\n")
        self.assertIn("<th>Key</th>", page)
        self.assertIn("<td>Alt+P</td>", page)
        self.assertNotIn("---", page)


class TheRealPages(unittest.TestCase):
    """The README and the pages of docs/ link to each other and into each other's headings:
    every such link must find its page and heading (a section moved or renamed breaks them)."""

    ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))

    def anchors(self, path):
        taken = set()
        fence = False
        with open(path, encoding="utf-8") as f:
            for line in f:
                if line.startswith("```"):
                    fence = not fence
                heading = None if fence else readme_to_html.re.match(r"^#{1,6}\s+(.*?)\s*$", line)
                if heading:
                    readme_to_html.heading_anchor(heading.group(1), taken)
        return taken

    def test_every_link_between_the_pages_finds_its_page_and_heading(self):
        pages = [os.path.join(self.ROOT, "README.md")]
        docs = os.path.join(self.ROOT, "docs")
        pages += [os.path.join(docs, n) for n in sorted(os.listdir(docs)) if n.endswith(".md")]
        link = readme_to_html.re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
        for page in pages:
            with open(page, encoding="utf-8") as f:
                text = f.read()
            for target in link.findall(text):
                if ":" in target:
                    continue
                path, _, fragment = target.partition("#")
                resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
                with self.subTest(page=os.path.relpath(page, self.ROOT), link=target):
                    self.assertTrue(os.path.isfile(resolved), "no such page")
                    if fragment:
                        self.assertIn(fragment, self.anchors(resolved), "no such heading")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:])
