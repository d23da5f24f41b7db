// Named looks of the shipped pair, made with its sliders: each is the
// pair's own numbers with these changed, by slider label, so that one look
// never builds on another.
export const presets = [
  {
    name: 'Fair-weather cumulus',
    values: { LUMP_AMPLITUDE: 0.3, LUMP_FREQUENCY: 2.6, FINE_AMPLITUDE: 0.07, 'EXTINCTION (fragment)': 35 },
  },
  {
    name: 'Towering',
    values: {
      LUMP_AMPLITUDE: 0.56, LUMP_FREQUENCY: 1.5, BASE_LUMPS: 0.2, 'EXTINCTION (vertex)': 16,
      'EXTINCTION (fragment)': 80, RIM_GLOW: 1, EXPOSURE: 1.1,
    },
  },
  {
    name: 'Thin wisp',
    values: {
      LUMP_AMPLITUDE: 0.2, FINE_AMPLITUDE: 0.05, SOFT_EDGE: 0.03, LIGHT_SOFT_EDGE: 0.3, 'EXTINCTION (vertex)': 2,
      'EXTINCTION (fragment)': 3, RIM_GLOW: 2.5, EXPOSURE: 1.5,
    },
  },
  {
    name: 'Evening light',
    values: {
      SUN: [1, 0.58, 0.32], SKY_ABOVE: [0.32, 0.26, 0.42], SKY_SHADE: [0.14, 0.08, 0.13], RIM_GLOW: 2.4,
      EXPOSURE: 0.95,
    },
  },
];

// The looks whose every number the sliders have.
export function presetsFor(sliders) {
  const labels = new Set(sliders.map((slider) => slider.label));
  return presets.filter((look) => Object.keys(look.values).every((label) => labels.has(label)));
}
