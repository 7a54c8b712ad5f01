#pragma once
// Test pages with structure (bars, blocks and a gradient) in every pixel form, written
// as bitmap files the way the scanning control writes pages, plus small helpers to run
// the outside validators and read their output.

#include <cstdint>
#include <string>
#include <vector>

#include "codec/Image.h"

namespace testpages {

// A page of the given size and form at the given resolution. The pattern is fixed by
// the seed, so two calls with the same arguments give the same pixels.
void MakePage(codec::Image& page, int width, int height, codec::PixelFormat format, double dpi, unsigned seed = 1);
// Writes a page as a bitmap file and returns the path.
std::string WriteBmpPage(const std::string& path, int width, int height, codec::PixelFormat format, double dpi,
                         unsigned seed = 1);

// Runs a shell command; returns its exit status and fills `output` with its standard
// output.
int Run(const std::string& command, std::string* output = nullptr);
// True when the program is on PATH.
bool HaveTool(const std::string& name);

// Reads a PBM, PGM or PPM file (binary forms) into an image: PBM as black and white
// (a set bit is black), PGM as grey, PPM as colour.
bool ReadPnm(const std::string& path, codec::Image& out);
// Fraction of differing pixels between two black-and-white images of equal size.
double BilevelDifference(const codec::Image& a, const codec::Image& b);
// Mean absolute difference per sample between two images of equal size, compared as
// grey (both converted).
double MeanGreyDifference(const codec::Image& a, const codec::Image& b);

std::string ReadFile(const std::string& path);

} // namespace testpages
