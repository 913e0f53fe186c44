#pragma once
// Every notice the supervisor and the shutdown sequence show: texts, captions, pictures and hide
// delays. Texts are UTF-8.
#include <string>
#include <string_view>

namespace ups::notice {

// Pictures of the main window's image list.
inline constexpr int kPictureOnBattery = 1;
inline constexpr int kPictureBatteryOk = 2;
inline constexpr int kPictureBatteryLow = 3;

inline constexpr std::string_view kCaptionInformation = "Información";
inline constexpr std::string_view kCaptionBatteryLow = "Batería Baja";
inline constexpr std::string_view kCaptionAdministrator = "Aviso del administrador";
inline constexpr std::string_view kCaptionUpsServer = "Servidor de la UPS";

inline constexpr int kLongMs = 3000;
inline constexpr int kShortMs = 500;
inline constexpr int kAdministratorMs = 4000;

inline constexpr std::string_view kLineFailure = "Falla en tensión de línea";
inline constexpr std::string_view kLineFailureGoesOn = "Continúa la falla en tensión de línea";
inline constexpr std::string_view kCriticalGoesOn = "Continúa la condición crítica";
inline constexpr std::string_view kSwitchOffCancelled = "Apagado de UPS suspendido";
inline constexpr std::string_view kTestPassed = "Test satisfactorio, batería operativa.";
inline constexpr std::string_view kClosingApplications = "Cerrando aplicaciones";
inline constexpr std::string_view kClosingSystem = "Cerrando sistema";

inline constexpr std::string_view kServerLost = "Se perdió la conexión con el servidor de la UPS.";
inline constexpr std::string_view kServerBack =
    "Se restableció la conexión con el servidor de la UPS.";
inline constexpr std::string_view kServerOrderedPowerOff =
    "El servidor de la UPS ordenó el apagado.";
inline constexpr std::string_view kWaitingForFollowers =
    "Esperando que se apaguen los equipos que siguen a esta UPS";

inline constexpr std::string_view kTestBatteryFail = "Falla en test, controlar batería.";
inline constexpr std::string_view kTestNoResponse = "La UPS no responde al pedido de Test.";
inline constexpr std::string_view kTestNoAnswer = "El equipo no responde a la consulta.";

// A number as printf's "%2d" writes it: right-aligned in two characters, wider when it needs to.
std::string pad2(int n);

// "%2d seg. para cerrar Sistema" below a minute, "%2d min. %2d seg. para cerrar Sistema" from a
// minute up.
std::string secondsToClose(int seconds);

// "La UPS se apagará en ..." for an administrator's switch-off in the given minutes.
std::string upsSwitchesOffIn(int minutes);

}  // namespace ups::notice
