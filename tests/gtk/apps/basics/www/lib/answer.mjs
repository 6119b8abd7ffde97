export const answer = 40 + 2;
