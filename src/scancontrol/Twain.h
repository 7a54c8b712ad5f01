#pragma once
// TWAIN-style constants shared by the scanning control and its callers. The values are
// TWAIN's own (twain.h) where TWAIN defines them; the control's own codes (file formats
// 100 to 104, the custom capabilities 0x8001 and 0x8002) are marked as such.
// Plain integral constants so that they compare directly with the control's long/short/
// double properties.

namespace twain {

// ---- Capability identifiers (the `Capability` property) ----
constexpr long CAP_XFERCOUNT = 0x0001; // transfer count: -1 all pages, n pages
constexpr long ICAP_COMPRESSION = 0x0100;
constexpr long ICAP_PIXELTYPE = 0x0101; // TWPT_*
constexpr long ICAP_UNITS = 0x0102;
constexpr long CAP_AUTHOR = 0x1000;
constexpr long CAP_FEEDERENABLED = 0x1002; // bool (0/1)
constexpr long CAP_FEEDERLOADED = 0x1003;  // bool (0/1), read only
constexpr long CAP_AUTOFEED = 0x1007;
constexpr long CAP_DUPLEX = 0x1012;           // TWDX_*, read only
constexpr long CAP_DUPLEXENABLED = 0x1013;    // bool (0/1)
constexpr long ICAP_IMAGEFILEFORMAT = 0x110C; // TWFF_* and the model codes 100..104
constexpr long ICAP_ORIENTATION = 0x1110;     // TWOR_*
constexpr long ICAP_XRESOLUTION = 0x1118;     // dots per inch
constexpr long ICAP_YRESOLUTION = 0x1119;     // dots per inch
constexpr long ICAP_SUPPORTEDSIZES = 0x1122;  // TWSS_*
constexpr long ICAP_BITDEPTH = 0x112B;
constexpr long ICAP_BITDEPTHREDUCTION = 0x112C; // TWBR_*
constexpr long ICAP_FLIPROTATION = 0x1136;      // TWFR_*
constexpr long CAP_CUSTOM_COMPRESSION = 0x8001; // the control's own: compression level
constexpr long CAP_CUSTOM_SCANMODE = 0x8002;    // the control's own: 0 auto, 1 glass, 2 feeder

// ---- Container types (the `CapType` property) ----
constexpr long TWON_ARRAY = 3;
constexpr long TWON_ENUMERATION = 4;
constexpr long TWON_ONEVALUE = 5;
constexpr long TWON_RANGE = 6;

// ---- Item types of a container's values ----
constexpr int TWTY_INT8 = 0x0000;
constexpr int TWTY_INT16 = 0x0001;
constexpr int TWTY_INT32 = 0x0002;
constexpr int TWTY_UINT8 = 0x0003;
constexpr int TWTY_UINT16 = 0x0004;
constexpr int TWTY_UINT32 = 0x0005;
constexpr int TWTY_BOOL = 0x0006;
constexpr int TWTY_FIX32 = 0x0007;
constexpr int TWTY_FRAME = 0x0008;
constexpr int TWTY_STR32 = 0x0009;
constexpr int TWTY_STR64 = 0x000A;
constexpr int TWTY_STR128 = 0x000B;
constexpr int TWTY_STR255 = 0x000C;

// ---- Pixel types (ICAP_PIXELTYPE, `PixelType`, `ImagePixelType`) ----
constexpr short TWPT_BW = 0;
constexpr short TWPT_GRAY = 1;
constexpr short TWPT_RGB = 2;

// ---- Bit depth reduction (ICAP_BITDEPTHREDUCTION) ----
constexpr int TWBR_THRESHOLD = 0;
constexpr int TWBR_HALFTONE = 1;
constexpr int TWBR_CUSTHALFTONE = 2;
constexpr int TWBR_DIFFUSION = 3;

// ---- Orientation (ICAP_ORIENTATION); rotation is clockwise ----
constexpr int TWOR_ROT0 = 0;
constexpr int TWOR_ROT90 = 1;
constexpr int TWOR_ROT180 = 2;
constexpr int TWOR_ROT270 = 3;
constexpr int TWOR_PORTRAIT = TWOR_ROT0;
constexpr int TWOR_LANDSCAPE = TWOR_ROT270;

// ---- Flip rotation (ICAP_FLIPROTATION): how the back of a duplex page is turned ----
constexpr int TWFR_BOOK = 0;    // side-bound: back side is upright
constexpr int TWFR_FANFOLD = 1; // top-bound: back side is upside down, turned 180 degrees

// ---- Duplex (CAP_DUPLEX, `DuplexType`) ----
constexpr long TWDX_NONE = 0;
constexpr long TWDX_1PASSDUPLEX = 1;
constexpr long TWDX_2PASSDUPLEX = 2;

// ---- Compression (ICAP_COMPRESSION) ----
constexpr int TWCP_NONE = 0;
constexpr int TWCP_PACKBITS = 1;
constexpr int TWCP_GROUP31D = 2;
constexpr int TWCP_GROUP4 = 5;
constexpr int TWCP_JPEG = 6;
constexpr int TWCP_LZW = 7;
constexpr int TWCP_PNG = 9;

// ---- Transfer mechanisms (`TransferMode`) ----
constexpr long TWSX_NATIVE = 0;
constexpr long TWSX_FILE = 1;
constexpr long TWSX_MEMORY = 2;

// ---- File formats (`SaveImageToFile`, ICAP_IMAGEFILEFORMAT) ----
constexpr long TWFF_TIFF = 0;
constexpr long TWFF_BMP = 2;
constexpr long TWFF_JFIF = 4;
constexpr long TWFF_PNG = 7;
constexpr long TWFF_PDF = 10;
// The control's model-specific codes (the model family's own image kinds).
constexpr long FF_PCX = 100;
constexpr long FF_GIF = 101;
constexpr long FF_TGA = 102;
constexpr long FF_WMF = 103;
constexpr long FF_EMF = 104;

// ---- Units (ICAP_UNITS) ----
constexpr int TWUN_INCHES = 0;
constexpr int TWUN_CENTIMETERS = 1;

// ---- Paper sizes (ICAP_SUPPORTEDSIZES), TWAIN TWSS_* codes ----
constexpr int TWSS_NONE = 0;
constexpr int TWSS_A4 = 1;
constexpr int TWSS_JISB5 = 2;
constexpr int TWSS_USLETTER = 3;
constexpr int TWSS_USLEGAL = 4;
constexpr int TWSS_A5 = 5;
constexpr int TWSS_ISOB4 = 6;
constexpr int TWSS_ISOB6 = 7;
constexpr int TWSS_USLEDGER = 9;
constexpr int TWSS_USEXECUTIVE = 10;
constexpr int TWSS_A3 = 11;
constexpr int TWSS_ISOB3 = 12;
constexpr int TWSS_A6 = 13;
constexpr int TWSS_C4 = 14;
constexpr int TWSS_C5 = 15;
constexpr int TWSS_C6 = 16;
constexpr int TWSS_4A0 = 17;
constexpr int TWSS_2A0 = 18;
constexpr int TWSS_A0 = 19;
constexpr int TWSS_A1 = 20;
constexpr int TWSS_A2 = 21;
constexpr int TWSS_A7 = 22;
constexpr int TWSS_A8 = 23;
constexpr int TWSS_A9 = 24;
constexpr int TWSS_A10 = 25;
constexpr int TWSS_ISOB0 = 26;
constexpr int TWSS_ISOB1 = 27;
constexpr int TWSS_ISOB2 = 28;
constexpr int TWSS_ISOB5 = 29;
constexpr int TWSS_ISOB7 = 30;
constexpr int TWSS_ISOB8 = 31;
constexpr int TWSS_ISOB9 = 32;
constexpr int TWSS_ISOB10 = 33;
constexpr int TWSS_JISB0 = 34;
constexpr int TWSS_JISB1 = 35;
constexpr int TWSS_JISB2 = 36;
constexpr int TWSS_JISB3 = 37;
constexpr int TWSS_JISB4 = 38;
constexpr int TWSS_JISB6 = 39;
constexpr int TWSS_JISB7 = 40;
constexpr int TWSS_JISB8 = 41;
constexpr int TWSS_JISB9 = 42;
constexpr int TWSS_JISB10 = 43;
constexpr int TWSS_C0 = 44;
constexpr int TWSS_C1 = 45;
constexpr int TWSS_C2 = 46;
constexpr int TWSS_C3 = 47;
constexpr int TWSS_C7 = 48;
constexpr int TWSS_C8 = 49;
constexpr int TWSS_C9 = 50;
constexpr int TWSS_C10 = 51;
constexpr int TWSS_USSTATEMENT = 52;
constexpr int TWSS_BUSINESSCARD = 53;
constexpr int TWSS_MAXSIZE = 54;

} // namespace twain
