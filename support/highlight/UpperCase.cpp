// The three folding procedures behind TzvUpperCase.
#include <ZarvMemo/support/highlight/UpperCase.h>

namespace zarv {

TzvUpperCaseProc UserUpperCaseProc = nullptr;

void zvUpperCaseBuf(TzvUpperCase mode, char16_t* buf, int32_t len) {
  Q_ASSERT(buf[len] == 0);
  if (mode == zvuUserDefined && UserUpperCaseProc) {
    UserUpperCaseProc(buf);
    return;
  }
  if (mode == zvuAnsi) {
    for (int32_t i = 0; i < len; ++i)
      buf[i] = QChar(buf[i]).toUpper().unicode();
    return;
  }
  for (int32_t i = 0; i < len; ++i)
    if (buf[i] >= u'a' && buf[i] <= u'z')
      buf[i] = static_cast<char16_t>(buf[i] - (u'a' - u'A'));
}

QString zvUpperCased(TzvUpperCase mode, const QString& s) {
  if (s.isEmpty())
    return s;
  QString t = s;
  // data() detaches and keeps the terminating NUL the user procedure needs.
  zvUpperCaseBuf(mode, reinterpret_cast<char16_t*>(t.data()), static_cast<int32_t>(t.size()));
  return t;
}

} // namespace zarv
