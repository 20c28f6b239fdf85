// daru ui's article pane: a 200 KB HTML description (paragraphs with links
// and emphasis, lists, a table, Chinese and English text) rendered to terminal
// text and wrapped at 60 columns, against libxml2's HTML parser reading the
// same bytes alone. The rendering must stay within 5 times the parse.

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>

#include <string>

#include "darulib.h"
#include "terminal/HtmlText.h"
#include "terminal/TextCells.h"

namespace {

std::string Description() {
  std::string html;
  for (int i = 0; html.size() < 200 * 1024; ++i) {
    const std::string n = std::to_string(i);
    html += "<h2>Section " + n +
            "</h2><p>The <b>library</b> keeps &amp; files <em>articles</em> under labels; see <a "
            "href=\"https://example.com/a/" +
            n + "\">the notes</a> and <a href=\"/rel/" + n +
            "\">this page</a>. 资料库把文章归入标签，每篇文章有一个描述文件。<img src=\"x.png\" alt=\"图 " + n +
            "\"></p><ul><li>first point of " + n +
            "</li><li>second, with <code>code()</code></li></ul>"
            "<table><tr><td>cell</td><td>单元格</td></tr></table>";
  }
  return html;
}

void BM_ParseOnly(benchmark::State& state) {
  const std::string html = Description();
  for (auto _ : state) {
    htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                                    HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_RenderAndWrap(benchmark::State& state) {
  termui::UseUtf8Locale();
  // The pane holds the text as UTF-16, as the description file gives it.
  const std::u16string html = FromUtf8(Description());
  size_t lines = 0;
  for (auto _ : state) {
    termui::RenderedHtml r = termui::RenderHtml(html, u"https://example.com/post");
    std::vector<termui::StyledLine> wrapped;
    for (const termui::TextBlock& b : r.blocks) termui::WrapBlock(b, 60, wrapped);
    lines = wrapped.size();
    benchmark::DoNotOptimize(wrapped.data());
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_RenderAndWrap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
