<?xml version="1.0" encoding="UTF-8"?>
<!--
  Bryndle theme "paper": a thread page in dark text on a light page with a proportional
  Japanese font. The records, references with their hover boxes, new-record marks and
  deletion notices come from the default theme; this sheet replaces only its look.
  No script; no remote resource.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../terminal/get.xsl"/>

  <xsl:template name="title-text">
    <xsl:value-of select="$info/TITLE"/>
  </xsl:template>

  <xsl:template name="page-footer">
    <div class="footer"></div>
  </xsl:template>

  <xsl:template name="style">
    <style type="text/css">
html, body { background: #f7f5ef; color: #26231f; }
body {
  margin: 0 auto; padding: 0 1.6em 2.5em; max-width: 56em;
  font-family: "IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "Hiragino Kaku Gothic ProN",
               "Yu Gothic", sans-serif;
  font-size: 15px; line-height: 1.75;
}
a { color: #1d5fa8; text-decoration: none; }
a:hover { text-decoration: underline; }
.header { padding: 1.2em 0 .6em; margin-bottom: 1.2em; border-bottom: 2px solid #d8d2c4; }
h1 { margin: 0 0 .2em; font-size: 1.45em; font-weight: bold; color: #1f1c18; line-height: 1.4; }
.info { color: #7a7265; font-size: .88em; }
.jump-new {
  color: #fff; background: #c8641e; padding: .05em .6em; border-radius: .8em; font-weight: bold;
}
.jump-new:hover { text-decoration: none; background: #a9510f; }
.record {
  position: relative; margin: 0 0 .9em; padding: .55em 1em .65em;
  background: #fffefb; border: 1px solid #e4dfd3; border-radius: 4px;
  white-space: pre-wrap; word-wrap: break-word;
}
.record.new { border-left: 4px solid #c8641e; background: #fffaf2; }
.record.notice { background: transparent; border-style: dashed; }
/* The head's text: name, trip, mail and date. */
.head { color: #5f6b55; font-size: .85em; margin-bottom: .25em; }
.head::before { content: attr(data-no); margin-right: .6em; color: #9b3d2a; font-weight: bold; }
.record:target > .head::before { background: #ffe08a; }
.name { color: #2b6b3a; font-weight: bold; }
.id, .head a { color: #a09887; }
.new-mark {
  color: #fff; background: #c8641e; padding: 0 .45em; border-radius: .7em; font-size: .9em;
}
.notice-text { color: #8f877a; font-style: italic; }
.removed-id { color: #6f6759; }
.ref { color: #1d5fa8; }
/* A block of records off screen is neither laid out nor painted until it comes near, so that a
   page of thousands of records opens quickly; the one under the pointer is not contained, so
   that a reference box can reach beyond it. Its own formatting context either way: a margin
   that collapsed through it once uncontained would move the page under the pointer. */
.block { display: flow-root; content-visibility: auto; }
.block:hover { content-visibility: visible; }
/* The box of a reference, from the link's attribute while the pointer is over the link; its
   first line, the number and name, on a band of its own (padding and one line high). */
.ref[data-box]:hover::after {
  content: attr(data-box);
  display: block; position: absolute; z-index: 10; left: 2.5em; margin-top: .15em;
  width: max-content; max-width: calc(100% - 5em); padding: .4em .8em;
  background: linear-gradient(#f1ece1 2em, #ffffff 2em);
  color: #26231f; border: 1px solid #c9c1b0; border-radius: 4px;
  box-shadow: 0 .25em .9em rgba(60, 45, 20, .25); font-size: .93em; line-height: 1.6;
  font-weight: normal; white-space: pre-wrap; word-wrap: break-word;
}
.attach { margin-top: .5em; }
.attach img { max-width: 320px; max-height: 320px; border: 1px solid #e4dfd3; border-radius: 3px; }
.empty { color: #8f877a; padding: 1em 0; }
.footer { margin-top: 1.5em; border-top: 1px solid #e4dfd3; }
form.post { margin-top: 1em; padding: .9em 1.1em; border: 1px solid #e4dfd3; background: #fffefb; border-radius: 4px; }
form.post label { display: inline-block; min-width: 4em; color: #7a7265; }
form.post input[type=text], form.post textarea {
  background: #fff; color: #26231f; border: 1px solid #c9c1b0; border-radius: 3px;
  font-family: inherit; font-size: 1em; padding: .15em .3em;
}
form.post textarea { width: 100%; box-sizing: border-box; }
form.post input[type=submit] {
  background: #2f5f9a; color: #fff; border: 0; border-radius: 3px; padding: .3em 1.4em;
  font-family: inherit; font-size: 1em;
}
form.post p { margin: .5em 0; }
    </style>
  </xsl:template>

</xsl:stylesheet>
