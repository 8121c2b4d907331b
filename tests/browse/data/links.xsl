<?xml version="1.0" encoding="UTF-8"?>
<!-- A theme for the thread page tests: a link to another thread (OTHER_THREAD is put in by the
     test), the same as a link that asks for a window of its own, fragments of 7, 8 and 9
     characters, and each record's first line both as a link and
     as markup, as a careless theme would write it. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8"/>
<xsl:template match="/">
<html><head><title><xsl:value-of select="/SHINGETSU/INFO/TITLE"/></title></head><body>
<p><a id="other" href="OTHER_THREAD">other</a>
<a id="a7" href="#abcdef1">seven</a> <a id="a8" href="#abcdef12">eight</a>
<a id="a9" href="#abcdef123">nine</a>
<a id="blank" href="OTHER_THREAD" target="_blank">window</a></p>
<xsl:for-each select="/SHINGETSU/ITEMS/ITEM">
<div class="record"><a name="{ID}"></a><a id="link{NO}" href="{MESSAGE/LINE[1]}">link</a>
<div class="raw"><xsl:value-of select="MESSAGE/LINE[1]" disable-output-escaping="yes"/></div>
</div></xsl:for-each>
<div style="height:3000px"></div>
</body></html>
</xsl:template>
</xsl:stylesheet>
