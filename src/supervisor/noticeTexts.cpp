#include "supervisor/noticeTexts.h"

#include <cstdio>

namespace ups::notice {

std::string pad2(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d", n);
    return text;
}

std::string secondsToClose(int seconds) {
    if (seconds < 60) return pad2(seconds) + " seg. para cerrar Sistema";
    return pad2(seconds / 60) + " min. " + pad2(seconds % 60) + " seg. para cerrar Sistema";
}

std::string upsSwitchesOffIn(int minutes) {
    const std::string lead = "La UPS se apagará en ";
    if (minutes < 60) {
        return lead + pad2(minutes) + (minutes == 1 ? " minuto." : " minutos.");
    }
    const int hours = minutes / 60;
    return lead + pad2(hours) + (hours == 1 ? " hora " : " horas ") + pad2(minutes % 60) +
           " minutos.";
}

}  // namespace ups::notice
