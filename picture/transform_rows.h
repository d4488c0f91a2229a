// Pixel kernels of the geometric transforms, on packed row bytes in the
// picture's own format (1, 4, 8, 15/16, 24 or 32 bits a pixel; 1-bit pixels
// from bit 7, 4-bit pixels high nibble first).
#pragma once
#include <cstddef>
#include <cstdint>

namespace transform_rows {

// True for the bit counts the kernels serve.
bool SupportedBits(int bits);

// Writes the count pixels of source into destination in reverse order
// (destination pixel i = source pixel count - 1 - i). The buffers must not
// overlap. In the last destination byte of a sub-byte row, the bits beyond
// the last pixel keep their value.
void ReversePixels(std::uint8_t* destination, const std::uint8_t* source, int count, int bits);

// Moves whole pixels of at least 8 bits between two pictures' rows:
// destination row i (rows destinationStride bytes apart), pixel j, for i below
// rows and j below columns, takes the pixel at
// source + i * sourceStepI + j * sourceStepJ (byte offsets).
void TransposePixels(std::uint8_t* destination, std::ptrdiff_t destinationStride,
                     const std::uint8_t* source, std::ptrdiff_t sourceStepI,
                     std::ptrdiff_t sourceStepJ, int rows, int columns, int bits);

}  // namespace transform_rows
