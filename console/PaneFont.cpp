#include "console/PaneFont.h"

#include <string>
#include <vector>

namespace {

int CALLBACK CollectFace(const LOGFONTA* lf, const TEXTMETRICA*, DWORD fontType, LPARAM lParam)
{
    if ((fontType & TRUETYPE_FONTTYPE) != 0 && (lf->lfPitchAndFamily & 3) == FIXED_PITCH && lf->lfFaceName[0] != '@')
        reinterpret_cast<std::vector<std::string>*>(lParam)->push_back(lf->lfFaceName);
    return 1;
}

// The fixed-pitch TrueType faces the system has, in its order.
std::vector<std::string> FixedPitchFaces()
{
    std::vector<std::string> faces;
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    HDC hdc = ::GetDC(nullptr);
    ::EnumFontFamiliesExA(hdc, &lf, &CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
    ::ReleaseDC(nullptr, hdc);
    return faces;
}

} // namespace

bool CreatePaneFont(CFont& font, int nPoints)
{
    std::vector<std::string> faces = FixedPitchFaces();
    if (faces.empty())
        return false;
    std::string face = faces.front();
    for (const char* wanted : { "Courier New", "Lucida Console", "Consolas" }) // the last found wins
        for (const std::string& installed : faces)
            if (lstrcmpiA(installed.c_str(), wanted) == 0)
                face = installed;
    LOGFONTA lf{};
    HDC hdc = ::GetDC(nullptr);
    lf.lfHeight = -::MulDiv(nPoints, ::GetDeviceCaps(hdc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, hdc);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return font.CreateFontIndirect(&lf) != FALSE;
}
