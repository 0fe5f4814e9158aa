#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quillane {

// A picture in memory: 8-bit RGB pixels.
class Picture {
public:
    Picture();
    ~Picture();
    Picture(Picture&&) noexcept;
    Picture& operator=(Picture&&) noexcept;

    bool Empty() const;
    int Width() const;
    int Height() const;
    // Packed RGB rows, three bytes a pixel, for showing the picture.
    std::vector<unsigned char> RgbPixels() const;

    struct Image; // the decoded image of the picture library
    std::unique_ptr<Image> image;
};

// The picture types a merchant may choose, by extension (lower case, no dot).
const std::vector<std::string>& PictureExtensions();

// A name without "." is a picture embedded in the program (any known
// format; an unknown one leaves the picture unchanged). A name with "." is
// a file whose extension must be a known picture type; a file that cannot
// be read as a picture throws an error naming it. A picture with an
// orientation tag is turned upright as it is loaded.
void LoadPicture(const std::string& name, Picture& picture);

// Loads a picture as LoadPicture does, scaled to fit maxWidth x maxHeight
// and never enlarged. A JPEG is decoded at a reduced size to begin with, so
// a large photo shown small costs a fraction of its full decode.
void LoadPictureToFit(const std::string& name, int maxWidth, int maxHeight, Picture& picture);

// Loads like LoadPicture, but decodes a JPEG at 1/2, 1/4 or 1/8 of its size
// (far faster) when each box still gets from it the size SaveScaledJpeg
// gives it from the whole picture.
void LoadPictureForBoxes(const std::string& name, Picture& picture, const std::vector<std::pair<int, int>>& boxes);

// Scales the picture to fit maxWidth x maxHeight, never enlarging it
// (sizes rounded half to even), with a Lanczos-3 filter, and saves it as a
// progressive JPEG of the given quality. The picture then holds the scaled
// bitmap. Throws an error naming the file when it cannot be written.
void SaveScaledJpeg(Picture& picture, const std::string& file, int maxWidth, int maxHeight, int quality);

// A second picture holding the same bitmap, which stays as it is when
// either is scaled.
Picture SharePicture(const Picture& picture);

// Starts the picture library, which LoadPicture and SaveScaledJpeg also do
// on first use. Code that loads pictures on threads of its own calls it
// before it starts them. Throws an error when the library cannot start.
void StartPictureLibrary();

// Frees what the picture library keeps for the calling thread; a worker
// thread that loaded or saved pictures calls it before it ends.
void ReleasePictureThread();

// The picture library's version: another one may write other bytes.
std::string PictureLibraryVersion();

// The size SaveScaledJpeg gives a picture of width x height.
std::pair<int, int> ScaledSize(int width, int height, int maxWidth, int maxHeight);

} // namespace quillane
