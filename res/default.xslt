<?xml version="1.0" encoding="UTF-8"?>
<!--
  Shows an article description file as a page. Description files name it as
  "../default.xslt", so it lies in the DARU folder above the type folders.
  Every text is shown as text, never as markup, and only web addresses become
  links: description files hold whatever a page or feed sent.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/">
    <html>
      <head>
        <title><xsl:value-of select="Article/Title"/></title>
        <style type="text/css">
          body { font-family: sans-serif; line-height: 1.5; color: #222; max-width: 50em; margin: 2em auto; padding: 0 1em; }
          h1 { font-size: 1.6em; margin: 0 0 0.4em; }
          h2 { font-size: 1.1em; border-bottom: 1px solid #ccc; margin: 1.5em 0 0.5em; }
          .meta { color: #555; font-size: 0.9em; margin: 0.2em 0; }
          .label { font-weight: bold; margin-right: 0.6em; }
          .text { white-space: pre-wrap; }
          ul.attachments { padding-left: 1.2em; }
        </style>
      </head>
      <body>
        <xsl:apply-templates select="Article"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Article">
    <h1>
      <xsl:choose>
        <xsl:when test="normalize-space(Title)"><xsl:value-of select="Title"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="FileName"/></xsl:otherwise>
      </xsl:choose>
    </h1>
    <xsl:if test="normalize-space(URL)">
      <p class="meta link">
        <span class="label">链接</span>
        <xsl:call-template name="link">
          <xsl:with-param name="target" select="URL"/>
        </xsl:call-template>
      </p>
    </xsl:if>
    <xsl:if test="normalize-space(Key)">
      <p class="meta keywords"><span class="label">关键字</span><xsl:value-of select="Key"/></p>
    </xsl:if>
    <xsl:apply-templates select="RSS"/>
    <xsl:if test="normalize-space(Description)">
      <h2>描述</h2>
      <div class="text description"><xsl:value-of select="Description"/></div>
    </xsl:if>
    <xsl:if test="normalize-space(Comment)">
      <h2>评论</h2>
      <div class="text comment"><xsl:value-of select="Comment"/></div>
    </xsl:if>
    <xsl:apply-templates select="RSS/mime"/>
  </xsl:template>

  <!-- Feed data: channel, date and the item's own link and title when they differ. -->
  <xsl:template match="RSS">
    <xsl:if test="normalize-space(ChannelTitle) or normalize-space(ChannelLink)">
      <p class="meta channel">
        <span class="label">频道</span>
        <xsl:call-template name="link">
          <xsl:with-param name="target" select="ChannelLink"/>
          <xsl:with-param name="text" select="ChannelTitle"/>
        </xsl:call-template>
      </p>
    </xsl:if>
    <xsl:if test="normalize-space(PubDate)">
      <p class="meta date"><span class="label">日期</span><xsl:value-of select="PubDate"/></p>
    </xsl:if>
    <xsl:if test="normalize-space(Link) and string(Link) != string(../URL)">
      <p class="meta item">
        <span class="label">原文</span>
        <xsl:call-template name="link">
          <xsl:with-param name="target" select="Link"/>
          <xsl:with-param name="text" select="Title"/>
        </xsl:call-template>
      </p>
    </xsl:if>
  </xsl:template>

  <!-- The media file is kept beside this file, in the article's own folder. -->
  <xsl:template match="mime">
    <h2>媒体文件</h2>
    <xsl:variable name="folder" select="string(../../FileName)"/>
    <p class="media">
      <xsl:choose>
        <!-- Only a folder name the library makes (32 hexadecimal digits) becomes a link. -->
        <xsl:when test="string-length($folder) = 32 and translate($folder, '0123456789abcdef', '') = ''">
          <a href="{concat('./', $folder, '/mime.zevm')}"><xsl:value-of select="url"/></a>
        </xsl:when>
        <xsl:otherwise><xsl:value-of select="url"/></xsl:otherwise>
      </xsl:choose>
    </p>
    <xsl:if test="attachment/filename">
      <h2>附件</h2>
      <ul class="attachments">
        <!-- One pair per attachment element, or all pairs in one: both are read. -->
        <xsl:for-each select="attachment/filename">
          <li>
            <span class="filename"><xsl:value-of select="."/></span>
            <xsl:variable name="description" select="following-sibling::*[1][self::description]"/>
            <xsl:if test="normalize-space($description)">
              <xsl:text> – </xsl:text>
              <span class="description"><xsl:value-of select="$description"/></span>
            </xsl:if>
          </li>
        </xsl:for-each>
      </ul>
    </xsl:if>
  </xsl:template>

  <!-- A web address becomes a link; anything else (a script, a local path) stays text. -->
  <xsl:template name="link">
    <xsl:param name="target"/>
    <xsl:param name="text"/>
    <xsl:variable name="address" select="normalize-space($target)"/>
    <xsl:variable name="lower" select="translate($address, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <xsl:variable name="shown">
      <xsl:choose>
        <xsl:when test="normalize-space($text)"><xsl:value-of select="$text"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$target"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="starts-with($lower, 'http://') or starts-with($lower, 'https://') or starts-with($lower, 'ftp://')">
        <a href="{$address}"><xsl:value-of select="$shown"/></a>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$shown"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
