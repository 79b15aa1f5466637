// The backdrop: a colour gradient over the whole main window, behind the
// installer's dialogs.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_ExtCtrls.h"
#include "framework/fw_Graphics.h"

#include <windows.h>

namespace cmp_TBackDrop {

using fw_Graphics::TColor;

// Where the start colour lies: at the top (bdUp), bottom, left or right
// edge, or at both edges of a mirrored gradient (the Out kinds) or in its
// middle (the In kinds).
enum TDirection : uint8_t { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };
extern const fw_Classes::TEnumInfo TDirectionInfo;

// Paints the gradient into Rect of DC: 256 bands from one colour to the
// other, or 128 mirrored ones meeting in the middle.
void PaintGradient(HDC DC, const RECT& Rect, TDirection Direction, TColor StartColor, TColor EndColor);

// A panel filling its parent with the gradient. It never erases: the
// gradient covers every pixel, and erasing first would flicker. Children
// that show it through (the title) get it by WM_PRINTCLIENT, and are
// repainted with it whenever it changes.
class TBackdrop : public fw_ExtCtrls::TPanel {
    FW_CLASS(TBackdrop, fw_ExtCtrls::TPanel)

public:
    explicit TBackdrop(fw_Classes::TComponent* AOwner);
    ~TBackdrop() override;
    // Another backdrop's colours, direction and alignment.
    void Assign(fw_Classes::TPersistent* Source) override;

    TDirection Direction() const { return FDirection; }
    void SetDirection(TDirection Value);
    TColor StartColor() const { return FStartColor; }
    void SetStartColor(TColor Value);
    TColor EndColor() const { return FEndColor; }
    void SetEndColor(TColor Value);

    // -1 makes this the main backdrop (MainBackdrop); the previous one gets 0.
    void SetTag(int64_t Value) override;
    void Invalidate() override;

protected:
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;
    void Paint(HDC DC) override;

private:
    TDirection FDirection = bdUp;
    TColor FEndColor = fw_Graphics::clBlack;
    TColor FStartColor = fw_Graphics::clBlue;
};

// The backdrop whose Tag was set to -1 last, while it keeps it; nullptr when none.
TBackdrop* MainBackdrop();

// Makes the backdrop and the title label known to the project reader.
void RegisterDecorativeClasses();

} // namespace cmp_TBackDrop
