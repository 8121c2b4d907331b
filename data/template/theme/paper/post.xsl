<?xml version="1.0" encoding="UTF-8"?>
<!--
  Bryndle theme "paper": the posting form of the default theme in the paper look. The later
  import wins, so this theme's style and title replace the default ones. No script.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../terminal/post.xsl"/>
  <xsl:import href="get.xsl"/>

  <xsl:template match="/">
    <xsl:call-template name="post-page"/>
  </xsl:template>

</xsl:stylesheet>
