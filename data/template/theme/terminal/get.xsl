<?xml version="1.0" encoding="UTF-8"?>
<!--
  Bryndle default theme "terminal": a thread page in a dark terminal look.
  Reads the page document (SHINGETSU/INFO, SHINGETSU/ITEMS/ITEM) and writes HTML without any
  script. The document escapes every text, so everything here is written as text: nothing a
  node sends can become markup.
-->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:date="http://exslt.org/dates-and-times"
    xmlns:str="http://exslt.org/strings"
    extension-element-prefixes="date str"
    exclude-result-prefixes="date str">

  <xsl:output method="html" encoding="UTF-8" indent="no"
      doctype-public="-//W3C//DTD HTML 4.01//EN"
      doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>

  <xsl:variable name="info" select="/SHINGETSU/INFO"/>

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
          <xsl:apply-templates select="/SHINGETSU/ITEMS/ITEM"/>
          <xsl:if test="not(/SHINGETSU/ITEMS/ITEM)">
            <div class="empty">-- 表示する記録はありません --</div>
          </xsl:if>
        </div>
        <div class="footer">
          <span class="prompt">$</span>
          <xsl:text> </xsl:text>
          <span class="cursor">_</span>
        </div>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="header">
    <div class="header">
      <h1><span class="prompt">$ </span><xsl:value-of select="$info/TITLE"/></h1>
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
      </div>
    </div>
  </xsl:template>

  <xsl:template match="ITEM">
    <div class="record">
      <a class="anchor" name="{ID}" id="{ID}"></a>
      <div class="head">
        <span class="no"><xsl:value-of select="NO"/></span>
        <xsl:text> </xsl:text>
        <span class="name">
          <xsl:choose>
            <xsl:when test="string(NAME) != ''"><xsl:value-of select="NAME"/></xsl:when>
            <xsl:otherwise>名無しさん</xsl:otherwise>
          </xsl:choose>
        </span>
        <xsl:if test="string(TRIP) != ''">
          <xsl:text> </xsl:text>
          <span class="trip">◆<xsl:value-of select="TRIP"/></span>
        </xsl:if>
        <xsl:if test="string(MAIL) != ''">
          <xsl:text> </xsl:text>
          <span class="mail">[<xsl:value-of select="MAIL"/>]</span>
        </xsl:if>
        <xsl:text> </xsl:text>
        <span class="date">
          <xsl:call-template name="local-time">
            <xsl:with-param name="seconds" select="number(TIMESTAMP)"/>
          </xsl:call-template>
        </span>
        <xsl:text> </xsl:text>
        <a class="id" href="#{ID}"><xsl:value-of select="ID"/></a>
      </div>
      <div class="body">
        <xsl:for-each select="MESSAGE/LINE">
          <div class="line">
            <xsl:call-template name="refs">
              <xsl:with-param name="text" select="string(.)"/>
            </xsl:call-template>
          </div>
        </xsl:for-each>
      </div>
      <xsl:if test="string(ATTACH_PATH) != ''">
        <xsl:call-template name="attachment"/>
      </xsl:if>
    </div>
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
    A body line with ">>" and a short id (8 hexadecimal digits) turned into links to that
    record's anchor. Long texts are halved at a point that cuts no reference, so the nesting
    stays logarithmic however many references a line holds.
  -->
  <xsl:template name="refs">
    <xsl:param name="text"/>
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
        </xsl:call-template>
        <xsl:call-template name="refs">
          <xsl:with-param name="text" select="substring($text, number($cut) + 1)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="after" select="substring-after($text, '&gt;&gt;')"/>
        <xsl:variable name="id" select="substring($after, 1, 8)"/>
        <xsl:value-of select="substring-before($text, '&gt;&gt;')"/>
        <xsl:choose>
          <xsl:when test="string-length($id) = 8
                          and translate($id, '0123456789abcdefABCDEF', '') = ''">
            <a class="ref" href="#{translate($id, 'ABCDEF', 'abcdef')}">
              <xsl:text>&gt;&gt;</xsl:text>
              <xsl:value-of select="$id"/>
            </a>
            <xsl:call-template name="refs">
              <xsl:with-param name="text" select="substring($after, 9)"/>
            </xsl:call-template>
          </xsl:when>
          <xsl:otherwise>
            <xsl:text>&gt;&gt;</xsl:text>
            <xsl:call-template name="refs">
              <xsl:with-param name="text" select="$after"/>
            </xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Seconds since 1970 as "YYYY/MM/DD(曜) hh:mm:ss" in the local time zone. -->
  <xsl:template name="local-time">
    <xsl:param name="seconds"/>
    <xsl:variable name="t" select="$seconds + number($zone-offset)"/>
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
    <xsl:choose>
      <xsl:when test="string($seconds) = 'NaN'">-</xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="format-number($year, '0000')"/>
        <xsl:text>/</xsl:text>
        <xsl:value-of select="format-number($month, '00')"/>
        <xsl:text>/</xsl:text>
        <xsl:value-of select="format-number($day, '00')"/>
        <xsl:text>(</xsl:text>
        <xsl:value-of select="substring('日月火水木金土', $weekday + 1, 1)"/>
        <xsl:text>) </xsl:text>
        <xsl:value-of select="format-number(floor($rest div 3600), '00')"/>
        <xsl:text>:</xsl:text>
        <xsl:value-of select="format-number(floor(($rest mod 3600) div 60), '00')"/>
        <xsl:text>:</xsl:text>
        <xsl:value-of select="format-number($rest mod 60, '00')"/>
      </xsl:otherwise>
    </xsl:choose>
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
.record { margin: 0 0 1.1em; padding: .4em .8em .5em; border-left: 3px solid #2f5f2f; background: #0f150f; }
.head { color: #7fa87f; font-size: .92em; }
.anchor:target + .head .no { background: #f0c674; color: #0b0e0b; }
.no { color: #f0c674; font-weight: bold; }
.name { color: #8fe88f; font-weight: bold; }
.trip { color: #81a2be; }
.mail { color: #c397d8; }
.date { color: #6f926f; }
.id { color: #5f8f5f; }
.body { margin-top: .3em; color: #d6f7d6; }
.line { min-height: 1.6em; white-space: pre-wrap; word-wrap: break-word; }
.ref { color: #ffaf5f; }
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
