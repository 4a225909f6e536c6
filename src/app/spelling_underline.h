#pragma once

// Misspelled words underlined in the grid's line cells as they are drawn:
// only the cells on screen are ever checked, so a million rows cost nothing
// until they are scrolled to. A cell's words are checked once for each text
// it shows and looked at again only when something else is accepted.
namespace tessel::app {

class SpellingService;
class SubtitleGrid;

void UnderlineMisspelledWords(SubtitleGrid& grid, SpellingService& spelling);

} // namespace tessel::app
