<?xml version="1.0" encoding="UTF-8"?>
<!--
  Bryndle default theme "terminal": the posting form of a thread. It posts to the node as the
  node's own form does (multipart POST to thread.cgi); with a target record it shows that
  record and starts the body with a reference to it. No script.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="get.xsl"/>

  <xsl:template match="/">
    <xsl:call-template name="post-page"/>
  </xsl:template>

  <!-- The whole form page; a theme importing this sheet calls it from its own root template. -->
  <xsl:template name="post-page">
    <xsl:variable name="target" select="string($info/TARGET)"/>
    <html lang="ja">
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title>書き込み: <xsl:value-of select="$info/TITLE"/></title>
        <xsl:call-template name="style"/>
        <xsl:call-template name="post-style"/>
      </head>
      <body>
        <div class="header">
          <h1><xsl:call-template name="title-text"/></h1>
          <div class="info">このスレッドに書き込みます</div>
        </div>
        <xsl:if test="$target != ''">
          <div class="info">返信先:</div>
          <xsl:apply-templates select="/SHINGETSU/ITEMS/ITEM[1]"/>
        </xsl:if>
        <form class="post" method="post" action="{$info/GATEWAY}thread.cgi"
              enctype="multipart/form-data" accept-charset="UTF-8">
          <input type="hidden" name="cmd" value="post"/>
          <input type="hidden" name="file" value="{$info/FILE}"/>
          <input type="hidden" name="dopost" value="dopost"/>
          <p>
            <label for="name">名前</label>
            <input type="text" id="name" name="name" size="24" value=""/>
            <xsl:text> </xsl:text>
            <label for="mail">メール</label>
            <input type="text" id="mail" name="mail" size="24" value=""/>
          </p>
          <p>
            <label for="body">本文</label>
            <br/>
            <textarea id="body" name="body" rows="8" cols="64">
              <xsl:if test="$target != ''">
                <xsl:text>&gt;&gt;</xsl:text>
                <xsl:value-of select="$target"/>
                <xsl:text>&#10;</xsl:text>
              </xsl:if>
            </textarea>
          </p>
          <p>
            <label for="attach">添付</label>
            <input type="file" id="attach" name="attach"/>
          </p>
          <p>
            <input type="submit" name="write" value="書き込む"/>
          </p>
        </form>
      </body>
    </html>
  </xsl:template>

  <!-- The post window opens small (400 x 300 until the user sizes it): the whole form, with its
       button, fits there without scrolling. Colours stay the theme's. -->
  <xsl:template name="post-style">
    <style type="text/css">
@media (max-width: 560px) {
  body { padding: 0 .5em .5em; }
  .header { padding: .3em 0 .2em; margin-bottom: .3em; }
  .header .info { display: none; }
  h1 { font-size: 1.05em; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  form.post { margin-top: .3em; padding: .3em .5em; }
  form.post p { margin: .25em 0; }
  form.post label { min-width: 0; margin-right: .3em; }
  form.post input[type=text] { width: 7.5em; }
  form.post label[for=body], form.post label[for=body] + br { display: none; }
  form.post textarea { height: 5.2em; }
  form.post input[type=file] { max-width: 100%; }
}
    </style>
  </xsl:template>

</xsl:stylesheet>
