<?xml version="1.0" encoding="UTF-8"?>
<!-- Bryndle theme "paper": a page shown from the cache looks like a fetched one. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="get.xsl"/>
</xsl:stylesheet>
