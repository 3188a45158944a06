// The art gallery and the framed pages (about, editorial).
#pragma once

#include "issue/sections.h"

struct MagazineRun;

void GallerySection(MagazineRun& Run);
// A framed page of the section table: its frame screen, then its text in
// the page's window.
void PageSection(MagazineRun& Run, const issue::Section& Page);
void AboutSection(MagazineRun& Run);
void EditorialSection(MagazineRun& Run);
