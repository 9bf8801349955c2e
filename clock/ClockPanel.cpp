#include "ClockPanel.h"

#include "ClockFace.h"
#include "Drift.h"
#include "Trace.h"

namespace lumidial {

namespace {

template <typename Control>
std::unique_ptr<Control> Make(HWND parent, const PictureRect& layout, bool visible) {
    return std::make_unique<Control>(parent, layout.left, layout.top, layout.width, layout.height, visible);
}

}  // namespace

TClockPanel::TClockPanel(HWND parent, const ClockPlacement& placement, bool pictures, const ColourTable& colours,
                         bool movingLeft, bool movingUp, const ControlEvents& input)
    : placement_(placement), MovingLeft(movingLeft), MovingUp(movingUp) {
    const ClockGeometry& geometry = placement_.geometry;
    const PictureRect panel{0, 0, geometry.panelWidth, geometry.panelHeight};
    pnlClock = Make<TPanel>(parent, panel, false);  // shown with the first time
    pnlClockInner = Make<TPanel>(pnlClock->Handle(), panel, true);
    Centre();
    if (!pictures) return;
    artwork_ = TClockArtwork::At(geometry.scale, colours);
    const auto& at = geometry.pictures;
    imgHour1 = Make<TImage>(pnlClockInner->Handle(), at[0], true);
    imgHour2 = Make<TImage>(pnlClockInner->Handle(), at[1], true);
    imgColon = Make<TImage>(pnlClockInner->Handle(), at[2], true);
    imgMin1 = Make<TImage>(pnlClockInner->Handle(), at[3], true);
    imgMin2 = Make<TImage>(pnlClockInner->Handle(), at[4], true);
    imgColon->SetBitmap(artwork_.Colon());
    for (TImage* picture : PicturesInLayoutOrder()) {
        picture->Tag = -1;  // no digit shown yet; the colon's tag is unused
        picture->Events.onMouseMove = input.onMouseMove;
    }
}

std::array<TImage*, 4> TClockPanel::DigitPictures() const noexcept {
    return {imgHour1.get(), imgHour2.get(), imgMin1.get(), imgMin2.get()};
}

std::array<TImage*, 5> TClockPanel::PicturesInLayoutOrder() const noexcept {
    return {imgHour1.get(), imgHour2.get(), imgColon.get(), imgMin1.get(), imgMin2.get()};
}

void TClockPanel::Centre() noexcept {
    pnlClock->SetBounds(placement_.centre.left, placement_.centre.top, placement_.geometry.panelWidth,
                        placement_.geometry.panelHeight);
}

void TClockPanel::Relayout(const ClockPlacement& placement) {
    if (!imgColon) return;  // the preview's panels are never shown
    if (placement.geometry.scale != artwork_.Scale()) {
        artwork_ = TClockArtwork::At(placement.geometry.scale, artwork_.Colours());
        imgColon->SetBitmap(artwork_.Colon());
        // The digits' old pictures are gone; each is drawn anew.
        for (TImage* picture : DigitPictures()) picture->SetBitmap(nullptr);
    }
    placement_ = placement;
    const ClockGeometry& geometry = placement_.geometry;
    pnlClockInner->SetBounds(0, 0, geometry.panelWidth, geometry.panelHeight);
    const std::array<TImage*, 5> pictures = PicturesInLayoutOrder();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const PictureRect& at = geometry.pictures[i];
        pictures[i]->SetBounds(at.left, at.top, at.width, at.height);
    }
    for (TImage* picture : DigitPictures()) picture->Tag = -1;
    Centre();
}

void TClockPanel::ShowTime(const ClockTime& time, bool everyTime) {
    if (!imgColon) return;
    ClockFaceState face;
    face.tags = {imgHour1->Tag, imgHour2->Tag, imgMin1->Tag, imgMin2->Tag};
    face.hour1Visible = imgHour1->Visible();
    face.innerLeft = pnlClockInner->Left();
    std::array<HBITMAP, 4> ready{};
    const auto draw = [&](int index, int digit) noexcept {
        try {
            // A hidden 0 keeps whatever picture of it there is: on a scaled
            // screen it is not drawn for a picture nobody sees, which spares
            // the first frame of a one-digit hour that work.
            const bool hidden = index == 0 && digit == 0 && !time.leadingZero;
            ready[size_t(index)] = hidden ? artwork_.DigitIfMade(0) : artwork_.Digit(digit);
            return true;
        } catch (...) {
            TraceCaught(L"drawing a digit");  // drawn at the next tick
            return false;
        }
    };
    // The colon is the caller's, so that every clock blinks in step.
    const ClockFaceChanges changes = AdvanceClockFace(face, time.hour, time.minute, time.twentyFourHour,
                                                      time.leadingZero, false, placement_.geometry.hiddenDigitShift,
                                                      draw);
    imgColon->SetVisible(time.colonVisible);
    const std::array<TImage*, 4> pictures = DigitPictures();
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (!changes.digitChanged[i]) continue;
        pictures[i]->Tag = face.tags[i];
        if (i == 0) {
            imgHour1->SetVisible(face.hour1Visible);
            pnlClockInner->SetLeft(face.innerLeft);
        }
        pictures[i]->SetBitmap(ready[i]);
        pictures[i]->Repaint();
    }
    if (!everyTime && pnlClock->Visible()) return;
    pnlClock->SetVisible(true);
    pnlClock->Repaint();
}

bool TClockPanel::SetColours(const ColourTable& colours) noexcept {
    if (!imgColon) return true;
    const bool all = artwork_.SetColours(colours);
    for (TImage* picture : PicturesInLayoutOrder()) picture->Repaint();
    return all;
}

void TClockPanel::Step(int direction, int screenWidth, int screenHeight) noexcept {
    DriftState state{pnlClock->Left(), pnlClock->Top(), MovingLeft, MovingUp};
    const DriftState before = state;
    MoveClockStep(state, direction, placement_.bounds, screenWidth, screenHeight, pnlClock->Width(),
                  pnlClock->Height());
    MovingLeft = state.movingLeft;
    MovingUp = state.movingUp;
    if (state.left != before.left || state.top != before.top)
        pnlClock->SetBounds(state.left, state.top, pnlClock->Width(), pnlClock->Height());
}

void TClockPanel::HidePointer() noexcept {
    for (TImage* picture : PicturesInLayoutOrder())
        if (picture) picture->SetCursorNone(true);
}

}  // namespace lumidial
