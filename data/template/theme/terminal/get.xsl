<?xml version="1.0" encoding="UTF-8"?>
<!--
  Bryndle default theme "terminal": a thread page in a dark terminal look.
  Reads the page document (SHINGETSU/INFO, SHINGETSU/ITEMS/ITEM) and writes HTML without any
  script. The document escapes every text, so everything here is written as text: nothing a
  node sends can become markup.
  Other themes import this sheet and replace the named templates "style", "title-text" and
  "page-footer"; the records, references, new-record marks and notices live here once.
-->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:date="http://exslt.org/dates-and-times"
    xmlns:str="http://exslt.org/strings"
    xmlns:bryndle="urn:bryndle:theme"
    extension-element-prefixes="date str"
    exclude-result-prefixes="date str bryndle">

  <xsl:output method="html" encoding="UTF-8" indent="no"
      doctype-public="-//W3C//DTD HTML 4.01//EN"
      doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>

  <!-- The document's indentation is not text: dropped before the transform. -->
  <xsl:strip-space elements="SHINGETSU INFO ITEMS ITEM MESSAGE"/>

  <!-- Records by their short id in lower case, as reference links name them. -->
  <xsl:key name="record" match="ITEM" use="translate(ID, 'ABCDEF', 'abcdef')"/>

  <!-- Records in blocks of 25 by their number on the page: the engine neither lays out nor
       paints a block out of sight, and watches a 25th as many elements for coming near. -->
  <xsl:key name="block" match="ITEM" use="floor((NO - /SHINGETSU/INFO/BEGINNO) div 25)"/>

  <xsl:variable name="info" select="/SHINGETSU/INFO"/>

  <!--
    RECENT_ID is the short id of the thread's newest record (by stamp) at the last reading;
    records stand in stamp order, so the records after it with a later stamp are new. A record
    sharing its stamp is not marked: which of several records with the newest stamp was
    recorded is arbitrary. When RECENT_ID is empty (first reading, or a page not fetched from
    the node) or its record is not on this page, nothing is marked: the page cannot tell
    whether that record lies before or after it. Records with the same id have the same text;
    the last of them counts.
  -->
  <xsl:variable name="recent"
      select="key('record', translate($info/RECENT_ID, 'ABCDEF', 'abcdef'))[string(ID) != ''][last()]"/>
  <xsl:variable name="recent-stamp" select="number($recent/TIMESTAMP)"/>
  <!-- Only records after the recent one can be new: without it, no walk over the page. -->
  <xsl:variable name="new-records"
      select="$recent/following-sibling::ITEM[number(TIMESTAMP) &gt; $recent-stamp]"/>

  <!-- A body with more '>' than this gets plain reference links: each hover box copies part
       of another record, and a body of thousands of references must not multiply the page. -->
  <xsl:variable name="max-box-marks" select="80"/>
  <!-- What a hover box shows of the referred record's body. -->
  <xsl:variable name="box-lines" select="4"/>
  <xsl:variable name="box-line-length" select="100"/>

  <!-- The local time zone's offset in seconds, from the current local time. -->
  <xsl:variable name="now">
    <xsl:if test="function-available('date:date-time')">
      <xsl:value-of select="date:date-time()"/>
    </xsl:if>
  </xsl:variable>
  <xsl:variable name="zone-offset">
    <xsl:variable name="z" select="substring($now, string-length($now) - 5)"/>
    <xsl:choose>
      <xsl:when test="string-length($now) &lt; 25">0</xsl:when>
      <xsl:when test="starts-with($z, '+')">
        <xsl:value-of select="number(substring($z, 2, 2)) * 3600 + number(substring($z, 5, 2)) * 60"/>
      </xsl:when>
      <xsl:when test="starts-with($z, '-')">
        <xsl:value-of select="0 - (number(substring($z, 2, 2)) * 3600 + number(substring($z, 5, 2)) * 60)"/>
      </xsl:when>
      <xsl:otherwise>0</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:variable name="zone" select="number($zone-offset)"/>

  <xsl:template match="/">
    <html lang="ja">
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title><xsl:value-of select="$info/TITLE"/></title>
        <xsl:call-template name="style"/>
      </head>
      <body>
        <xsl:call-template name="header"/>
        <div class="records">
          <xsl:call-template name="blocks"/>
          <xsl:if test="not(/SHINGETSU/ITEMS/ITEM)">
            <div class="empty">-- 表示する記録はありません --</div>
          </xsl:if>
        </div>
        <xsl:call-template name="page-footer"/>
      </body>
    </html>
  </xsl:template>

  <!-- The client may transform a large page in parts at once: each part renders the records
       at positions first to last (1-based; with blocks, the blocks that begin there) between
       two comments holding the mark it gives, and it joins the parts' records into one page.
       The parts share the document, so no template here matches by key() and none calls
       generate-id(). -->
  <xsl:param name="bryndle-part-first" select="0"/>
  <xsl:param name="bryndle-part-last" select="0"/>
  <xsl:param name="bryndle-part-mark" select="'bryndle-part'"/>

  <xsl:template name="blocks">
    <xsl:choose>
      <xsl:when test="$bryndle-part-first &gt; 0">
        <xsl:comment><xsl:value-of select="$bryndle-part-mark"/></xsl:comment>
        <xsl:call-template name="page-records">
          <xsl:with-param name="first" select="$bryndle-part-first"/>
          <xsl:with-param name="last" select="$bryndle-part-last"/>
        </xsl:call-template>
        <xsl:comment><xsl:value-of select="$bryndle-part-mark"/></xsl:comment>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="page-records"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Numbers run on from BEGINNO, one per record; a page numbered otherwise is shown without
       blocks rather than lose a record. -->
  <xsl:template name="page-records">
    <xsl:param name="first" select="1"/>
    <xsl:param name="last" select="count(/SHINGETSU/ITEMS/ITEM)"/>
    <xsl:variable name="items" select="/SHINGETSU/ITEMS/ITEM"/>
    <xsl:choose>
      <xsl:when test="number($info/ENDNO) - number($info/BEGINNO) + 1 = count($items)
                      and number($items[last()]/NO) = number($info/ENDNO)">
        <!-- Blocks are numbered from 0; any node set serves to count them. -->
        <xsl:variable name="skipped" select="ceiling(($first - 1) div 25)"/>
        <xsl:for-each select="$items[position() &gt; $skipped
                                     and position() &lt;= floor(($last - 1) div 25) + 1]">
          <xsl:variable name="records" select="key('block', $skipped + position() - 1)"/>
          <!-- Until a block has been seen, its height is a guess from its records and lines. -->
          <div class="block"
              style="contain-intrinsic-size: auto {count($records) * 4 + count($records/MESSAGE/LINE) * 1.6}em">
            <xsl:apply-templates select="$records"/>
          </div>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:apply-templates select="$items[position() &gt;= $first and position() &lt;= $last]"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="title-text">
    <span class="prompt">$ </span><xsl:value-of select="$info/TITLE"/>
  </xsl:template>

  <xsl:template name="page-footer">
    <div class="footer">
      <span class="prompt">$</span>
      <xsl:text> </xsl:text>
      <span class="cursor">_</span>
    </div>
  </xsl:template>

  <xsl:template name="header">
    <div class="header">
      <h1><xsl:call-template name="title-text"/></h1>
      <div class="info">
        <xsl:choose>
          <xsl:when test="string($info/TARGET) != ''">
            <xsl:text>記録 </xsl:text>
            <xsl:value-of select="$info/TARGET"/>
          </xsl:when>
          <xsl:when test="number($info/COUNT) = 0">
            <xsl:text>記録なし</xsl:text>
          </xsl:when>
          <xsl:otherwise>
            <xsl:text>記録 </xsl:text>
            <xsl:value-of select="$info/BEGINNO"/>
            <xsl:text> - </xsl:text>
            <xsl:value-of select="$info/ENDNO"/>
            <xsl:text> (</xsl:text>
            <xsl:value-of select="$info/COUNT"/>
            <xsl:text>件)</xsl:text>
          </xsl:otherwise>
        </xsl:choose>
        <xsl:if test="$info/METHOD = 'cache'">
          <xsl:text> ・ キャッシュから表示</xsl:text>
        </xsl:if>
        <xsl:if test="string($info/RECENT_ID) != ''">
          <xsl:text> ・ 前回の最新 </xsl:text>
          <a class="id" href="#{$info/RECENT_ID}"><xsl:value-of select="$info/RECENT_ID"/></a>
        </xsl:if>
        <xsl:choose>
          <xsl:when test="$new-records">
            <xsl:text> ・ </xsl:text>
            <a class="jump-new" href="#new">
              <xsl:text>新着へ (</xsl:text>
              <xsl:value-of select="count($new-records)"/>
              <xsl:text>件)</xsl:text>
            </a>
          </xsl:when>
          <xsl:when test="$recent">
            <xsl:text> ・ 新着なし</xsl:text>
          </xsl:when>
        </xsl:choose>
      </div>
    </div>
  </xsl:template>

  <!-- A record is few elements, since a page may hold thousands: its head is one line of text
       (name, trip, mail, date) with the number in an attribute that the style shows before it
       and the link to the record's own anchor; the body follows as text in the record itself. -->
  <xsl:template match="ITEM">
    <xsl:variable name="new" select="number(TIMESTAMP) &gt; $recent-stamp"/>
    <xsl:variable name="notice" select="string(REMOVE_ID) != '' and string(REMOVE_STAMP) != ''"/>
    <!-- The record is its own anchor. -->
    <div id="{ID}">
      <xsl:attribute name="class">
        <xsl:text>record</xsl:text>
        <xsl:if test="$new"> new</xsl:if>
        <xsl:if test="$notice"> notice</xsl:if>
      </xsl:attribute>
      <div class="head" data-no="{NO}">
        <!-- The jump link leads to the first new record's head. -->
        <xsl:if test="$new and count(. | $new-records[1]) = 1">
          <xsl:attribute name="id">new</xsl:attribute>
        </xsl:if>
        <xsl:if test="not($notice)">
          <!-- The one part of the head a reader looks for, so an element of its own. -->
          <span class="name"><xsl:call-template name="display-name"/></span>
          <xsl:if test="string(TRIP) != ''">
            <xsl:text> ◆</xsl:text>
            <xsl:value-of select="TRIP"/>
          </xsl:if>
          <xsl:if test="string(MAIL) != ''">
            <xsl:text> [</xsl:text>
            <xsl:value-of select="MAIL"/>
            <xsl:text>]</xsl:text>
          </xsl:if>
          <xsl:text> </xsl:text>
        </xsl:if>
        <xsl:call-template name="local-time">
          <xsl:with-param name="seconds" select="number(TIMESTAMP)"/>
        </xsl:call-template>
        <xsl:text> </xsl:text>
        <a href="#{ID}"><xsl:value-of select="ID"/></a>
        <xsl:if test="$new">
          <xsl:text> </xsl:text>
          <span class="new-mark">新着</span>
        </xsl:if>
      </div>
      <xsl:choose>
        <xsl:when test="$notice">
          <div class="notice-text"><xsl:call-template name="notice-text"/></div>
        </xsl:when>
        <xsl:otherwise>
          <!-- Counted only for a body with references. -->
          <xsl:variable name="boxes"
              select="contains(MESSAGE, '&gt;&gt;') and string-length(MESSAGE)
                      - string-length(translate(MESSAGE, '&gt;', '')) &lt;= $max-box-marks"/>
          <!-- One text with line breaks, not an element per line: the engine builds less. A
               break after an empty last line keeps that line. -->
          <xsl:for-each select="MESSAGE/LINE">
            <xsl:if test="position() != 1">
              <xsl:text>&#10;</xsl:text>
            </xsl:if>
            <xsl:choose>
              <xsl:when test="not(contains(., '&gt;&gt;'))">
                <xsl:value-of select="."/>
              </xsl:when>
              <xsl:when test="$fast-refs">
                <xsl:for-each select="bryndle:refs(.)">
                  <xsl:choose>
                    <xsl:when test="self::ref">
                      <xsl:call-template name="ref-link">
                        <xsl:with-param name="id" select="string(.)"/>
                        <xsl:with-param name="lower" select="string(@lower)"/>
                        <xsl:with-param name="boxes" select="$boxes"/>
                      </xsl:call-template>
                    </xsl:when>
                    <xsl:otherwise><xsl:value-of select="."/></xsl:otherwise>
                  </xsl:choose>
                </xsl:for-each>
              </xsl:when>
              <xsl:otherwise>
                <xsl:call-template name="refs">
                  <xsl:with-param name="text" select="string(.)"/>
                  <xsl:with-param name="boxes" select="$boxes"/>
                </xsl:call-template>
              </xsl:otherwise>
            </xsl:choose>
          </xsl:for-each>
          <xsl:if test="string(MESSAGE/LINE[last()]) = ''">
            <xsl:text>&#10;</xsl:text>
          </xsl:if>
          <xsl:if test="string(ATTACH_PATH) != ''">
            <xsl:call-template name="attachment"/>
          </xsl:if>
        </xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <xsl:template name="display-name">
    <xsl:choose>
      <xsl:when test="string(NAME) != ''"><xsl:value-of select="NAME"/></xsl:when>
      <xsl:otherwise>名無しさん</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The text of a deletion notice (the current ITEM); the removed record is linked when it
       is on the page. -->
  <xsl:template name="notice-text">
    <xsl:variable name="removed" select="substring(REMOVE_ID, 1, 8)"/>
    <xsl:text>記録 </xsl:text>
    <xsl:choose>
      <xsl:when test="key('record', translate($removed, 'ABCDEF', 'abcdef'))">
        <a class="removed-id" href="#{translate($removed, 'ABCDEF', 'abcdef')}">
          <xsl:value-of select="$removed"/>
        </a>
      </xsl:when>
      <xsl:otherwise>
        <span class="removed-id"><xsl:value-of select="$removed"/></span>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:text> は削除されました</xsl:text>
  </xsl:template>

  <xsl:template name="attachment">
    <xsl:variable name="url" select="concat('file://', str:encode-uri(ATTACH_PATH, false()))"/>
    <xsl:variable name="ext"
        select="translate(ATTACH_EXT, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <div class="attach">
      <xsl:choose>
        <xsl:when test="$ext = 'jpg' or $ext = 'jpeg' or $ext = 'png' or $ext = 'gif'
                        or $ext = 'bmp' or $ext = 'webp'">
          <a href="{$url}"><img src="{$url}" alt="添付画像 {ATTACH_HASH}.{ATTACH_EXT}"/></a>
        </xsl:when>
        <xsl:otherwise>
          <xsl:text>添付ファイル: </xsl:text>
          <a href="{$url}">
            <xsl:value-of select="ATTACH_HASH"/>
            <xsl:if test="string(ATTACH_EXT) != ''">.<xsl:value-of select="ATTACH_EXT"/></xsl:if>
          </a>
        </xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <!--
    The project's own functions (registered by the client, see ThemeFunctions) do the costly
    per-record pieces; a processor without them takes the templates below, with the same output
    (the date excepted across summer-time changes: the templates use today's offset).
  -->
  <xsl:variable name="fast-refs" select="function-available('bryndle:refs')"/>
  <xsl:variable name="fast-box" select="function-available('bryndle:box-text')"/>
  <xsl:variable name="fast-time" select="function-available('bryndle:local-time')"/>
  <!-- key() looks in the context node's document; the functions' nodes live in their own. -->
  <xsl:variable name="page" select="/"/>

  <!--
    A body line with ">>" and a short id (8 hexadecimal digits) turned into links to that
    record's anchor. Long texts are halved at a point that cuts no reference, so the nesting
    stays logarithmic however many references a line holds.
  -->
  <xsl:template name="refs">
    <xsl:param name="text"/>
    <xsl:param name="boxes" select="false()"/>
    <xsl:variable name="length" select="string-length($text)"/>
    <xsl:choose>
      <xsl:when test="not(contains($text, '&gt;&gt;'))">
        <xsl:value-of select="$text"/>
      </xsl:when>
      <xsl:when test="$length &gt; 64">
        <xsl:variable name="middle" select="floor($length div 2)"/>
        <xsl:variable name="window" select="substring($text, $middle - 9, 11)"/>
        <xsl:variable name="cut">
          <xsl:choose>
            <xsl:when test="contains($window, '&gt;&gt;')">
              <xsl:value-of select="$middle - 10 + string-length(substring-before($window, '&gt;&gt;'))"/>
            </xsl:when>
            <xsl:otherwise><xsl:value-of select="$middle"/></xsl:otherwise>
          </xsl:choose>
        </xsl:variable>
        <xsl:call-template name="refs">
          <xsl:with-param name="text" select="substring($text, 1, number($cut))"/>
          <xsl:with-param name="boxes" select="$boxes"/>
        </xsl:call-template>
        <xsl:call-template name="refs">
          <xsl:with-param name="text" select="substring($text, number($cut) + 1)"/>
          <xsl:with-param name="boxes" select="$boxes"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="after" select="substring-after($text, '&gt;&gt;')"/>
        <xsl:variable name="id" select="substring($after, 1, 8)"/>
        <xsl:value-of select="substring-before($text, '&gt;&gt;')"/>
        <xsl:choose>
          <xsl:when test="string-length($id) = 8
                          and translate($id, '0123456789abcdefABCDEF', '') = ''">
            <xsl:call-template name="ref-link">
              <xsl:with-param name="id" select="$id"/>
              <xsl:with-param name="lower" select="translate($id, 'ABCDEF', 'abcdef')"/>
              <xsl:with-param name="boxes" select="$boxes"/>
            </xsl:call-template>
            <xsl:call-template name="refs">
              <xsl:with-param name="text" select="substring($after, 9)"/>
              <xsl:with-param name="boxes" select="$boxes"/>
            </xsl:call-template>
          </xsl:when>
          <xsl:otherwise>
            <xsl:text>&gt;&gt;</xsl:text>
            <xsl:call-template name="refs">
              <xsl:with-param name="text" select="$after"/>
              <xsl:with-param name="boxes" select="$boxes"/>
            </xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A link to a record's anchor. With boxes, a reference to a record on the page carries
       that record's box text in an attribute, which the style shows beside the link while the
       pointer is over it: no element more per reference, and text the engine lays out only
       under the pointer. An attribute holds text only, so boxes never nest. -->
  <xsl:template name="ref-link">
    <xsl:param name="id"/>
    <xsl:param name="lower"/>
    <xsl:param name="boxes"/>
    <a class="ref" href="#{$lower}">
      <xsl:if test="$boxes">
        <xsl:for-each select="$page">
          <xsl:apply-templates select="key('record', $lower)[1]" mode="box"/>
        </xsl:for-each>
      </xsl:if>
      <xsl:text>&gt;&gt;</xsl:text>
      <xsl:value-of select="$id"/>
    </a>
  </xsl:template>

  <!-- The hover box of a referred record as one text: its number and name, then the start of
       its body, each line ended by a line break (no date, which costs more to compute than the
       rest of the box; empty lines left out). -->
  <xsl:template match="ITEM" mode="box">
    <xsl:attribute name="data-box">
      <xsl:value-of select="NO"/>
      <xsl:text> </xsl:text>
      <xsl:call-template name="display-name"/>
      <xsl:text>&#10;</xsl:text>
      <xsl:call-template name="box-text"/>
    </xsl:attribute>
  </xsl:template>

  <xsl:template name="box-text">
    <xsl:choose>
      <xsl:when test="string(REMOVE_ID) != '' and string(REMOVE_STAMP) != ''">
        <xsl:text>記録 </xsl:text>
        <xsl:value-of select="substring(REMOVE_ID, 1, 8)"/>
        <xsl:text> は削除されました</xsl:text>
      </xsl:when>
      <xsl:otherwise>
        <xsl:choose>
          <xsl:when test="$fast-box">
            <xsl:value-of select="bryndle:box-text(MESSAGE, $box-lines, $box-line-length)"/>
          </xsl:when>
          <xsl:otherwise>
            <xsl:for-each select="MESSAGE/LINE[position() &lt;= $box-lines][string(.) != '']">
              <xsl:value-of select="substring(., 1, $box-line-length)"/>
              <xsl:if test="string-length(.) &gt; $box-line-length">…</xsl:if>
              <xsl:text>&#10;</xsl:text>
            </xsl:for-each>
            <xsl:if test="MESSAGE/LINE[$box-lines + 1]">
              <xsl:text>…&#10;</xsl:text>
            </xsl:if>
          </xsl:otherwise>
        </xsl:choose>
        <xsl:if test="string(ATTACH_PATH) != ''">（添付あり）</xsl:if>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Seconds since 1970 as "YYYY/MM/DD(曜) hh:mm:ss" in the local time zone. -->
  <xsl:template name="local-time">
    <xsl:param name="seconds"/>
    <xsl:choose>
      <xsl:when test="$fast-time">
        <xsl:value-of select="bryndle:local-time($seconds)"/>
      </xsl:when>
      <xsl:when test="string($seconds) = 'NaN'">-</xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="zone-time">
          <xsl:with-param name="t" select="$seconds + $zone"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Seconds since 1970 in the local zone (the offset added) as calendar text. -->
  <xsl:template name="zone-time">
    <xsl:param name="t"/>
    <xsl:variable name="days" select="floor($t div 86400)"/>
    <xsl:variable name="rest" select="$t - $days * 86400"/>
    <xsl:variable name="z" select="$days + 719468"/>
    <xsl:variable name="era" select="floor($z div 146097)"/>
    <xsl:variable name="doe" select="$z - $era * 146097"/>
    <xsl:variable name="yoe"
        select="floor(($doe - floor($doe div 1460) + floor($doe div 36524) - floor($doe div 146096)) div 365)"/>
    <xsl:variable name="doy" select="$doe - (365 * $yoe + floor($yoe div 4) - floor($yoe div 100))"/>
    <xsl:variable name="mp" select="floor((5 * $doy + 2) div 153)"/>
    <xsl:variable name="day" select="$doy - floor((153 * $mp + 2) div 5) + 1"/>
    <xsl:variable name="month" select="$mp + 3 - 12 * floor($mp div 10)"/>
    <xsl:variable name="year" select="$yoe + $era * 400 + number($month &lt;= 2)"/>
    <xsl:variable name="weekday" select="(($days mod 7) + 11) mod 7"/>
    <!-- Two-digit fields as the tail of 100 + n: format-number costs far more per call. -->
    <xsl:value-of select="concat(substring('000', string-length($year)), $year, '/',
        substring(100 + $month, 2), '/', substring(100 + $day, 2),
        '(', substring('日月火水木金土', $weekday + 1, 1), ') ',
        substring(100 + floor($rest div 3600), 2), ':',
        substring(100 + floor(($rest mod 3600) div 60), 2), ':',
        substring(100 + $rest mod 60, 2))"/>
  </xsl:template>

  <xsl:template name="style">
    <style type="text/css">
html, body { background: #0b0e0b; color: #c4ecc4; }
body {
  margin: 0; padding: 0 1.4em 2em;
  font-family: "IPAGothic", "IPAゴシック", "IPAPGothic", "VL Gothic", "Noto Sans Mono CJK JP",
               "DejaVu Sans Mono", monospace;
  font-size: 14px; line-height: 1.6;
}
a { color: #5fd7ff; text-decoration: none; }
a:hover { text-decoration: underline; }
.header { border-bottom: 1px solid #2f5f2f; padding: .9em 0 .5em; margin-bottom: 1.1em; }
h1 { margin: 0; font-size: 1.3em; color: #eaffea; font-weight: bold; }
.prompt { color: #5fd75f; }
.info { color: #7fa87f; font-size: .9em; }
.jump-new { color: #0b0e0b; background: #f0c674; padding: 0 .4em; font-weight: bold; }
.record {
  position: relative; margin: 0 0 1.1em; padding: .4em .8em .5em;
  border-left: 3px solid #2f5f2f; background: #0f150f;
  color: #d6f7d6; white-space: pre-wrap; word-wrap: break-word;
}
.record.new { border-left-color: #f0c674; background: #15170c; }
.record.notice { background: transparent; border-left-style: dashed; }
/* The head's text: name, trip, mail and date. */
.head { color: #8fc88f; font-size: .92em; margin-bottom: .3em; }
.head::before { content: attr(data-no); margin-right: .6em; color: #f0c674; font-weight: bold; }
.record:target > .head::before { background: #f0c674; color: #0b0e0b; }
.name { color: #8fe88f; font-weight: bold; }
.id, .head a { color: #5f8f5f; }
.new-mark { color: #0b0e0b; background: #f0c674; padding: 0 .3em; font-size: .85em; }
.notice-text { color: #8a9a8a; font-style: italic; }
.removed-id { color: #a0b0a0; }
.ref { color: #ffaf5f; }
/* A block of records off screen is neither laid out nor painted until it comes near, so that a
   page of thousands of records opens quickly; the one under the pointer is not contained, so
   that a reference box can reach beyond it. Its own formatting context either way: a margin
   that collapsed through it once uncontained would move the page under the pointer. */
.block { display: flow-root; content-visibility: auto; }
.block:hover { content-visibility: visible; }
/* The box of a reference: the referred record's text from the link's attribute, laid out only
   while the pointer is over the link; out of the flow, so it cannot move the page under the
   pointer. Its first line, the number and name, stands on a band of its own (padding and one
   line high). */
.ref[data-box]:hover::after {
  content: attr(data-box);
  display: block; position: absolute; z-index: 10; left: 2.5em; margin-top: .2em;
  width: max-content; max-width: calc(100% - 5em); padding: .3em .7em;
  background: linear-gradient(#25452c 1.8em, #16241a 1.8em);
  color: #d6f7d6; border: 1px solid #5fd75f;
  box-shadow: 0 .3em .8em rgba(0, 0, 0, .6); font-size: .95em; line-height: 1.5;
  font-weight: normal; white-space: pre-wrap; word-wrap: break-word;
}
.attach { margin-top: .4em; }
.attach img { max-width: 320px; max-height: 320px; border: 1px solid #2f5f2f; }
.empty { color: #6f926f; padding: 1em 0; }
.footer { color: #5fd75f; margin-top: 1.5em; }
.cursor { background: #5fd75f; color: #0b0e0b; }
form.post { margin-top: 1em; padding: .8em 1em; border: 1px solid #2f5f2f; background: #0f150f; }
form.post label { display: inline-block; min-width: 4em; color: #7fa87f; }
form.post input[type=text], form.post textarea {
  background: #050805; color: #d6f7d6; border: 1px solid #2f5f2f; font-family: inherit; font-size: 1em;
}
form.post textarea { width: 100%; box-sizing: border-box; }
form.post input[type=submit] {
  background: #2f5f2f; color: #eaffea; border: 1px solid #5fd75f; padding: .2em 1.2em; font-family: inherit;
}
form.post p { margin: .5em 0; }
    </style>
  </xsl:template>

</xsl:stylesheet>
