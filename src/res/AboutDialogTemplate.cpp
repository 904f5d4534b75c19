#include "AboutDialogTemplate.h"

#include "Branding.h"
#include "res/Version.h"

#include <algorithm>
#include <string_view>

namespace talvane {

namespace {

using Kind = DialogTemplate::Kind;
namespace Id = AboutControlId;
constexpr int NoId = DialogTemplate::NoId;

// A label followed by a value from Branding or the version, joined at compile time so the table
// stays constant.
template <std::size_t Size> struct JoinedText {
    char text[Size + 1] = {};

    constexpr JoinedText(std::string_view label, std::string_view value) {
        std::ranges::copy(value, std::ranges::copy(label, text).out);
    }
};

constexpr std::string_view VersionLabel = "Talvane 版本 ";
constexpr std::string_view AuthorLabel = "Author:";
constexpr std::string_view MailLabel = "Email:";
constexpr std::string_view WebLabel = "Web:";
constexpr std::string_view Author = Branding::AuthorName;
constexpr std::string_view Mail = Branding::AuthorEmail;
constexpr std::string_view Web = Branding::MakerHostName;
constexpr std::string_view Version = TalvaneVersion;
constexpr JoinedText<VersionLabel.size() + Version.size()> VersionText{VersionLabel, Version};
constexpr JoinedText<AuthorLabel.size() + Author.size()> AuthorText{AuthorLabel, Author};
constexpr JoinedText<MailLabel.size() + Mail.size()> MailText{MailLabel, Mail};
constexpr JoinedText<WebLabel.size() + Web.size()> WebText{WebLabel, Web};

constexpr DialogTemplate::Control Controls[] = {
    {NoId, Kind::Icon, 11, 18, 20, 20, ":/images/icon128.png"},
    {NoId, Kind::Static, 40, 12, 120, 8, VersionText.text},
    {NoId, Kind::Static, 40, 25, 120, 8, AuthorText.text},
    {Id::Ok, Kind::DefaultPushButton, 171, 52, 50, 14, "确定"},
    {Id::MailLink, Kind::Link, 40, 39, 110, 9, MailText.text},
    // As wide as the mail link: the host name needs more room than 69 units.
    {Id::WebLink, Kind::Link, 40, 51, 110, 8, WebText.text},
};

} // namespace

const DialogTemplate AboutDialogTemplate{235, 74, 9, "关于 Talvane", Controls};

} // namespace talvane
