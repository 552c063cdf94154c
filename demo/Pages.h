// The bodies the demo marketplace answers, as bytes: marketplace pages in GBK, the item-history and short-link
// answers in UTF-8. Pure functions of the catalogue and the request values, so tests can also call them directly.
#pragma once

#include <string>
#include <string_view>

#include "Catalogue.h"

namespace vantrel::demo::pages {

// Shop pages.
std::string ShopHome(const Shop& shop);
// A shop's search page n (1-based); n beyond the last page lists nothing. `key` is the listing key the page's
// asynchronous module points to (empty: none).
std::string SearchPage(const Catalogue& cat, const Shop& shop, int page, std::string_view key);
// The redirect shop's first search page: a script line to the real listing and a key that only renders an error.
std::string RedirectScriptPage(const Shop& shop);
// The asynchronous listing answer (quotes escaped with a backslash), page n.
std::string AsyncAnswer(const Catalogue& cat, const Shop& shop, int page);
std::string AsyncRenderError();
std::string AsyncNoItems();

// Item pages.
std::string TaobaoItemPage(const Catalogue& cat, const Item& item);
std::string TmallItemPage(const Catalogue& cat, const Item& item);
std::string ItemNotFound();

// Counters. `item` may be null (unknown id): zeros.
std::string FavouritesAnswer(const Catalogue& cat, std::string_view keys, std::string_view callback);
std::string SalesAnswer(const Item* item);
std::string ReviewAnswer(std::string_view id, const Item* item, std::string_view callback);
std::string DsrAnswer(std::string_view id, std::string_view spuId, const Item* item, std::string_view callback);

// Outside services.
std::string PriceHistoryPage(std::string_view id, const Item* item);    // GBK
std::string ItemHistoryAnswer(const Catalogue& cat, const Item* item);  // UTF-8
std::string ShortLinkAnswer(std::string_view longAddressGbk);           // UTF-8

// Login wall and security check.
std::string LoginPage(std::string_view redirectUrl);
std::string SecurityCheckAnswer(std::string_view itemId);  // no trailing newline
std::string SecurityPage(std::string_view query, bool passed);

std::string NotFoundPage();
std::string ErrorPage500();

// HTML attribute escaping (&, <, >, ").
std::string EscapeAttribute(std::string_view s);

}  // namespace vantrel::demo::pages
