// The about box (template 100): the application's name and version, links to
// the web site, the support mail address and the feedback page, the update
// check button and OK.  What the links and the button do is the caller's:
// the dialog only reports which was chosen.
//
// Thread-safety: interface thread only.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;

// Control ids of the about box.
namespace about_ids {
inline constexpr int kName = 1074;
inline constexpr int kVersion = 1075;
inline constexpr int kWebSite = 1078;
inline constexpr int kSupport = 1079;
inline constexpr int kFeedback = 1080;
inline constexpr int kCheckUpdate = 1081;
} // namespace about_ids

struct about_actions {
    std::function<void()> open_web_site;
    std::function<void()> open_support_mail; // empty: no support address, the link is off
    std::function<void()> open_feedback;
    std::function<void()> check_update;
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // name is the main window's title text, version the build's version.
    CAboutDlg(const std::u16string& name, const std::u16string& version, about_actions actions,
              const QIcon& icon = QIcon(), QWidget* parent = nullptr);

    // The link or button of id (one of about_ids); null for another id.
    QWidget* Control(int id) const;
    // Follows the link of id as a click would (for keyboard and tests).
    void FollowLink(int id);

private:
    QLabel* MakeLink(int id, std::u16string_view key);

    about_actions m_actions;
};
