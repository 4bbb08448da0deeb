// Seams to the desktop; each seam lives in its own file of this folder.
