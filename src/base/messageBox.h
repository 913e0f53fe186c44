#pragma once
// Modal message boxes, as the event handlers report to the user. The GUI shows a real box; tests
// script the answers.
#include <string_view>

namespace ups {

enum class MbIcon { None, Error, Warning, Information, Question };
enum class MbButtons { Ok, YesNo, RetryCancel };
enum class MbResult { Ok, Yes, No, Retry, Cancel };

// Titles in use.
inline constexpr std::string_view kTitleError = "! ERROR !";
inline constexpr std::string_view kTitleCaution = "! CUIDADO !";
inline constexpr std::string_view kTitleAttention = "! ATENCION !";
inline constexpr std::string_view kTitleInformation = "Información";
inline constexpr std::string_view kTitleQuestion = "Pregunta";
// What an unexpected failure inside an operation (an allocation, the registry) is reported as.
inline constexpr std::string_view kMsgAllocating = "Asignando memoria.";

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Texts are UTF-8.
    virtual MbResult messageBox(std::string_view text, std::string_view title, MbIcon icon,
                                MbButtons buttons = MbButtons::Ok) = 0;
};

}  // namespace ups
