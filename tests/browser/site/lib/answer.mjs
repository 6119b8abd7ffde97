export const answer = 21;
