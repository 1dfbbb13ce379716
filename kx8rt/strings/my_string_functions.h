// The corpus string functions: tags and markup in text, and words, sentences and context.
#pragma once

#include "kx8rt/strings/sentence_terminators.h"
#include "kx8rt/strings/sentences.h"
#include "kx8rt/strings/tags.h"
