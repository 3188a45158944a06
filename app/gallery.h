// The art gallery and the two framed pages (about, editorial).
#pragma once

void GallerySection();
void AboutSection();
void EditorialSection();
