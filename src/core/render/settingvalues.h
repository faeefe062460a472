#pragma once

#include <optional>

namespace fulmaro {

// What the item indices of the panel's fixed lists mean. RenderSettings keeps the indices as the
// controls give them; the command builder turns them into these once, where it reads them.

// cbFlipVideo: "Yok", "Yatay", "Dikey", "Yatay + Dikey".
enum class Flip { None = 0, Horizontal = 1, Vertical = 2, Both = 3 };

// cbFrame: "Yok", the four frames made from the video itself, then the library's pictures.
enum class FrameKind {
    None = 0,
    BuiltInPlain = 1,
    BuiltInGrey = 2,
    BuiltInSepia = 3,
    BuiltInGrainy = 4,
    Picture = 5
};

// edVideoFront: "Video çerçevenin arkasında kalsın", "Video çerçevenin önüne geçsin".
enum class FrameOrder { VideoBehind = 0, VideoInFront = 1 };

// cbVideoPosition, cbLogoPosition: with Coordinate the spin boxes are the overlay's place; the
// others put it 10 pixels in from the named edges, or centred, and add the spin boxes to that.
enum class Position {
    Coordinate = 0,
    TopLeft,
    TopCentre,
    TopRight,
    CentreLeft,
    Centre,
    CentreRight,
    BottomLeft,
    BottomCentre,
    BottomRight
};

// An index outside the list flips nothing.
constexpr Flip flipFromIndex(int index)
{
    return index >= 1 && index <= 3 ? static_cast<Flip>(index) : Flip::None;
}

constexpr bool flipsHorizontally(Flip flip)
{
    return flip == Flip::Horizontal || flip == Flip::Both;
}

constexpr bool flipsVertically(Flip flip)
{
    return flip == Flip::Vertical || flip == Flip::Both;
}

// A picker without a selection (-1) shows nothing, as "Yok" does; every item after the built-in
// frames is a library picture.
constexpr FrameKind frameKindFromIndex(int index)
{
    if (index <= 0)
        return FrameKind::None;
    if (index >= static_cast<int>(FrameKind::Picture))
        return FrameKind::Picture;
    return static_cast<FrameKind>(index);
}

constexpr bool isBuiltInFrame(FrameKind kind)
{
    return kind != FrameKind::None && kind != FrameKind::Picture;
}

// Empty for an index outside the list: the frame is then laid neither behind nor in front.
constexpr std::optional<FrameOrder> frameOrderFromIndex(int index)
{
    if (index == 0 || index == 1)
        return static_cast<FrameOrder>(index);
    return std::nullopt;
}

// Empty for an index outside the list.
constexpr std::optional<Position> positionFromIndex(int index)
{
    if (index >= 0 && index <= static_cast<int>(Position::BottomRight))
        return static_cast<Position>(index);
    return std::nullopt;
}

} // namespace fulmaro
