// The adjustment walk over registered navigators after an edit.
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/navigator/NavigatorAdjust.h>

#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

void AdjustNavigators(TParagraphsList& list, const std::vector<TZarvNavigator*>& navs, const TEditRange& edit,
                      std::vector<TZarvNavigator*>& toFree) {
  struct TAdjusted {
    const std::vector<TZarvNavigator*>& navs;
    const std::vector<TZarvNavigator*>& freed;
  } adjusted [[maybe_unused]]{navs, toFree};
  // Every navigator kept lies in the text and agrees with its caches.
  ZARV_CHECKED_SCOPE("AdjustNavigators", TAdjusted, adjusted, [&s] {
    for (const TZarvNavigator* n : s.navs)
      if (std::find(s.freed.begin(), s.freed.end(), n) == s.freed.end())
        if (QString e = n->CheckIntegrity(); !e.isEmpty())
          return e;
    return QString();
  }());
  const int32_t offsetDelta = edit.NewStopPos - edit.OldStopPos;
  const int32_t parDelta = edit.NewStopPar - edit.OldStopPar;
  const bool deleted = edit.OldStopPos > edit.StartPos;
  for (TZarvNavigator* nav : navs) {
    Q_ASSERT_X(nav->fList == &list, "AdjustNavigators", "a navigator of another text");
    const int32_t pos = nav->fPos;
    if (pos < edit.StartPos) {
      // Untouched, but a paragraph rebuilt by the edit may have new lines.
      if (nav->fPar && nav->fParNb == edit.StartPar)
        nav->fParLine = -1;
      continue;
    }
    if (pos <= edit.OldStopPos) {
      // Only a navigator that stood in deleted text goes with it; one at
      // either end of the removed range marked text that is still there.
      const bool strictlyInside = pos > edit.StartPos && pos < edit.OldStopPos;
      if (nav->fFreeOnDelete && deleted && strictlyInside) {
        toFree.push_back(nav);
        continue;
      }
      if (nav->fAdjustRight)
        nav->SetLocated(edit.NewStopPar, edit.NewStopPos - list.Par(edit.NewStopPar)->StartOffset, -1, -1);
      else
        nav->SetLocated(edit.StartPar, edit.StartPos - list.Par(edit.StartPar)->StartOffset, -1, -1);
      continue;
    }
    nav->fPos = pos + offsetDelta;
    if (!nav->fPar)
      continue;
    if (nav->fParNb > edit.OldStopPar) {
      // A later paragraph: same record contents, new slot and offset (its
      // start offset may wait for the store's pending shift).
      nav->fParNb += parDelta;
      nav->fPar = list.RawPar(nav->fParNb);
    } else {
      // The tail of the old stop paragraph now ends the last new paragraph.
      nav->fParNb = edit.NewStopPar;
      nav->fPar = list.Par(edit.NewStopPar);
      nav->fOffset = nav->fPos - list.Par(nav->fParNb)->StartOffset;
      nav->fDynNb = -1;
      nav->fParLine = -1;
    }
  }
}

} // namespace zarv
