// Everything product code needs from the ui service in one include: the application object and
// the standard globals, windows and every kind of control, the interaction built-ins
// (MessageBox, Beep, GetFileOpenName, GetFolder), SetPointer, KeyDown, window units and
// GetEnvironment.
#pragma once

#include "runtime/ui/application.h"
#include "runtime/ui/check_box.h"
#include "runtime/ui/colour.h"
#include "runtime/ui/command_button.h"
#include "runtime/ui/drop_down_list.h"
#include "runtime/ui/font.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/group_box.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/keys.h"
#include "runtime/ui/line.h"
#include "runtime/ui/multi_line_edit.h"
#include "runtime/ui/picture.h"
#include "runtime/ui/pointer.h"
#include "runtime/ui/progress_bar.h"
#include "runtime/ui/radio_button.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/tab_control.h"
#include "runtime/ui/tab_page.h"
#include "runtime/ui/units.h"
#include "runtime/ui/window.h"
