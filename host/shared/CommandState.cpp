#include "shared/CommandState.h"

namespace hostshared {

std::vector<bool> CommandsEnabled(CWnd* target, const std::vector<UINT>& ids) {
  std::vector<bool> enabled(ids.size(), false);
  if (target == nullptr || !IsWindow(target->GetSafeHwnd())) return enabled;
  CMenu popup;
  popup.CreatePopupMenu();
  for (UINT id : ids) popup.AppendMenu(MF_STRING, id, u"");
  DaruUpdateMenuUI(&popup, target, TRUE);
  for (size_t i = 0; i < ids.size(); ++i)
    enabled[i] = !(popup.GetMenuState(ids[i], MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
  return enabled;
}

bool CommandEnabled(CWnd* target, UINT id) { return CommandsEnabled(target, {id}).front(); }

}  // namespace hostshared
