#include "scan/ConditionCodes.h"

namespace scan {

int ConditionFromErrorCode(long code) {
    switch (code) {
        case 0: return 0;
        case -1003: return 6;
        case -1004:
        case -1015: return 7;
        case -1006: return 8;
        case -1013: return 9;
        case -1009:
        case -1014: return 10;
        case -1010: return 11;
        case -1005:
        case -1011:
        case -1031: return 12;
        case -1016:
        case -1017:
        case -1018:
        case -1019:
        case -1022:
        case -1036: return 13;
        case -1020: return 14;
        case -1021: return 15;
        case -1023: return 16;
        case -1012:
        case -1030: return 17;
        case -1032: return 18;
        case -1033: return 19;
        case -1034: return 20;
        case -1035: return 21;
        case -1070:
        case -1071:
        case -1073: return 22;
        case -1080:
        case -1081: return 23;
        case -1090: return 24;
        case -1100: return 25;
        case -1110: return 26;
        default: return 1;
    }
}

} // namespace scan
