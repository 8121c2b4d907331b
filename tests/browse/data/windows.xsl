<?xml version="1.0" encoding="UTF-8"?>
<!-- A theme for the window tests: a link that asks for a new window (POPUP_THREAD), a web link
     (WEB_PAGE) and a thread link (OTHER_THREAD), put in by the test. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8"/>
<xsl:template match="/">
<html><head><title><xsl:value-of select="/SHINGETSU/INFO/TITLE"/></title></head><body>
<p style="font-size:40px"><a id="popup" target="_blank" href="POPUP_THREAD">popup</a></p>
<p><a id="web" href="WEB_PAGE">web</a> <a id="thread" href="OTHER_THREAD">thread</a></p>
</body></html>
</xsl:template>
</xsl:stylesheet>
