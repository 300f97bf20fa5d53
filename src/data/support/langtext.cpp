#include "data/support/langtext.h"

#include <QHash>
#include <QMutex>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <atomic>
#include <memory>

namespace ondrel {
namespace {

std::atomic<int> g_lang{0};

// ICU's transform is built once; its results are cached per character because the same few
// hundred characters recur in every caption.
class TraditionalMap {
public:
  TraditionalMap() {
    UErrorCode status = U_ZERO_ERROR;
    m_translit.reset(icu::Transliterator::createInstance("Hans-Hant", UTRANS_FORWARD, status));
    if (U_FAILURE(status))
      m_translit.reset();
  }

  char32_t map(char32_t c) {
    QMutexLocker lock(&m_lock);
    if (!m_translit)
      return c;
    if (auto it = m_cache.constFind(c); it != m_cache.constEnd())
      return it.value();
    icu::UnicodeString s(static_cast<UChar32>(c));
    m_translit->transliterate(s);
    char32_t mapped = c;
    if (s.countChar32() == 1)
      mapped = static_cast<char32_t>(s.char32At(0));
    m_cache.insert(c, mapped);
    return mapped;
  }

private:
  QMutex m_lock;
  std::unique_ptr<icu::Transliterator> m_translit;
  QHash<char32_t, char32_t> m_cache;
};

TraditionalMap& traditionalMap() {
  static TraditionalMap map;
  return map;
}

} // namespace

void setLanguageSetting(int lang) {
  g_lang.store(lang == 1 ? 1 : 0);
}
int languageSetting() {
  return g_lang.load();
}

QString toTraditional(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (char32_t c : text.toUcs4()) {
    const char32_t mapped = c < 0x80 ? c : traditionalMap().map(c);
    // Keep the length in UTF-16 units too, so positions computed on the original stay valid.
    if (QChar::requiresSurrogates(mapped) != QChar::requiresSurrogates(c))
      out.append(QString::fromUcs4(&c, 1));
    else
      out.append(QString::fromUcs4(&mapped, 1));
  }
  return out;
}

QString LangText(const QString& text) {
  return languageSetting() == 1 ? toTraditional(text) : text;
}

} // namespace ondrel
